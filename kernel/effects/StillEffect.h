// IStillEffect: an effect whose drawing depends only on the picture it is
// given and on settings it can name. The chain keeps a picture it composed
// from a still source (the default picture) and composes it again only when
// the source, the chain or one of these looks changed; an effect without
// this interface (an animated border, a scrolling caption) makes the chain
// compose every frame.
#pragma once

#include <cstdint>

class IStillEffect {
public:
    // A value that differs whenever the effect would draw differently over
    // the same picture (another filter chosen, say).
    virtual uintptr_t StillLook() = 0;

protected:
    ~IStillEffect() {}
};
