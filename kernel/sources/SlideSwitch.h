// The slide show's transitions: for 30 frames each output frame is composed
// pixel by pixel from the outgoing and the incoming picture. The pictures
// never move; every output pixel is the pixel at the same place in one of
// them, or (cross-fade) a mix of both.
#pragma once

#include <windows.h>

#include <vector>

#include "GdiPlus.h"

enum eSlideSwitchType {
    SLIDE_SWITCH_LEFT = 0,      // the incoming picture wipes in from the right edge
    SLIDE_SWITCH_RIGHT = 1,     // ... from the left edge
    SLIDE_SWITCH_BOTTOM = 2,    // ... from the bottom edge upward
    SLIDE_SWITCH_TOP = 3,       // ... from the top edge downward
    SLIDE_SWITCH_GRADIENT = 4,  // cross-fade
    SLIDE_SWITCH_CENTER_RECTANGLE = 5,
    SLIDE_SWITCH_GRID = 6,
};

// The two pictures of one step as plain 24-bit rows (blue, green, red), top
// row first.
struct SlidePictures {
    const BYTE* from;
    int fromStride;
    const BYTE* to;
    int toStride;
};

class CSlideSwitchBase {
public:
    enum { kStepCount = 30 };
    enum { kResultRunning = 0, kResultDone = 1, kResultNoPicture = 2 };

    CSlideSwitchBase() : m_stepCount(kStepCount), m_step(1) {}
    virtual ~CSlideSwitchBase() {}

    // Composes the next frame of the transition into output (24-bit, rows
    // bottom-up, the size frame gives) from the last frame of the outgoing
    // picture and the first of the incoming one (32-bit ARGB bitmaps of the
    // same size). Returns kResultDone on the 30th frame, kResultRunning
    // before, and kResultNoPicture (writing nothing) when a picture is
    // missing or cannot be read.
    virtual int Step(BYTE* output, const BITMAPINFOHEADER& frame, Gdiplus::Bitmap* from, Gdiplus::Bitmap* to);
    virtual int GetType() = 0;

    // The same step on plain pixel rows (the part that does the work).
    int StepPixels(BYTE* output, int width, int height, const SlidePictures& pictures);

    void Restart() { m_step = 1; }
    int CurrentStep() const { return m_step; }

protected:
    // The pictures of the transition under way in 24 bits, packed from the
    // bitmaps at its first step (not at every step) and let go at its end.
    std::vector<BYTE> m_from, m_to;
    const Gdiplus::Bitmap* m_packedFrom = nullptr;
    const Gdiplus::Bitmap* m_packedTo = nullptr;
    bool Pack(Gdiplus::Bitmap* bitmap, int width, int height, std::vector<BYTE>& pixels);

    // Composes the whole frame at progress p (s / 30 as a float).
    virtual void Compose(BYTE* output, int width, int height, const SlidePictures& pictures, float p) = 0;

    int m_stepCount;
    int m_step;
};

class CSlideSwitchLeft : public CSlideSwitchBase {
public:
    int GetType() override { return SLIDE_SWITCH_LEFT; }

protected:
    void Compose(BYTE* output, int width, int height, const SlidePictures& pictures, float p) override;
};

class CSlideSwitchRight : public CSlideSwitchBase {
public:
    int GetType() override { return SLIDE_SWITCH_RIGHT; }

protected:
    void Compose(BYTE* output, int width, int height, const SlidePictures& pictures, float p) override;
};

class CSlideSwitchBottom : public CSlideSwitchBase {
public:
    int GetType() override { return SLIDE_SWITCH_BOTTOM; }

protected:
    void Compose(BYTE* output, int width, int height, const SlidePictures& pictures, float p) override;
};

class CSlideSwitchTop : public CSlideSwitchBase {
public:
    int GetType() override { return SLIDE_SWITCH_TOP; }

protected:
    void Compose(BYTE* output, int width, int height, const SlidePictures& pictures, float p) override;
};

class CSlideSwitchGradient : public CSlideSwitchBase {
public:
    int GetType() override { return SLIDE_SWITCH_GRADIENT; }

protected:
    void Compose(BYTE* output, int width, int height, const SlidePictures& pictures, float p) override;
};

class CSlideSwitchCenterRectangle : public CSlideSwitchBase {
public:
    int GetType() override { return SLIDE_SWITCH_CENTER_RECTANGLE; }

protected:
    void Compose(BYTE* output, int width, int height, const SlidePictures& pictures, float p) override;
};

class CSlideSwitchGrid : public CSlideSwitchBase {
public:
    CSlideSwitchGrid() : m_columns(40), m_rows(30) {}
    int GetType() override { return SLIDE_SWITCH_GRID; }

protected:
    void Compose(BYTE* output, int width, int height, const SlidePictures& pictures, float p) override;

private:
    int m_columns;
    int m_rows;
    std::vector<int> m_columnBounds;  // the columns where inside and outside the squares alternate, this step
};

// The seven transitions and the order they are shown in: a pool of those not
// shown yet and a list of those used; each pick takes a random one from the
// pool, so every transition is shown once before any is shown again.
class CSlideSwitchPool {
public:
    CSlideSwitchPool();
    ~CSlideSwitchPool();
    // The next transition, its step counter reset to 1.
    CSlideSwitchBase* Pick();

private:
    CSlideSwitchPool(const CSlideSwitchPool&);
    CSlideSwitchPool& operator=(const CSlideSwitchPool&);
    std::vector<CSlideSwitchBase*> m_all;
    std::vector<CSlideSwitchBase*> m_pool;
    std::vector<CSlideSwitchBase*> m_used;
};
