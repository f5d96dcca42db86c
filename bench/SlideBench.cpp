// Slide transition benchmark: one step of each transition at 640 x 480, with
// its ratio to one frame copy.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "BenchUtil.h"
#include "SlideSwitch.h"
#include "VideoFrame.h"

int main() {
    const int w = 640, h = 480;
    std::vector<BYTE> from(static_cast<size_t>(w) * h * 3), to(from.size());
    for (size_t i = 0; i < from.size(); ++i) {
        from[i] = static_cast<BYTE>(i * 3);
        to[i] = static_cast<BYTE>(i * 5 + 1);
    }
    std::vector<BYTE> out(static_cast<size_t>(VideoFrameStride(w, 24)) * h), copy(out.size());
    SlidePictures pictures = {from.data(), w * 3, to.data(), w * 3};
    const int runs = 7;
    double copyUs = BenchMeasure(runs, 400, [&] { std::memcpy(copy.data(), out.data(), out.size()); });
    std::unique_ptr<CSlideSwitchBase> all[] = {
        std::unique_ptr<CSlideSwitchBase>(new CSlideSwitchLeft),     std::unique_ptr<CSlideSwitchBase>(new CSlideSwitchRight),
        std::unique_ptr<CSlideSwitchBase>(new CSlideSwitchBottom),   std::unique_ptr<CSlideSwitchBase>(new CSlideSwitchTop),
        std::unique_ptr<CSlideSwitchBase>(new CSlideSwitchGradient), std::unique_ptr<CSlideSwitchBase>(new CSlideSwitchCenterRectangle),
        std::unique_ptr<CSlideSwitchBase>(new CSlideSwitchGrid)};
    const char* names[] = {"left wipe", "right wipe", "bottom wipe", "top wipe", "cross-fade", "centre rectangle", "grid"};
    std::printf("slide transitions, one step at 640x480, median of %d runs\n", runs);
    std::printf("  frame copy          %8.1f us   1.00 x copy\n", copyUs);
    for (int i = 0; i < 7; ++i) {
        CSlideSwitchBase& s = *all[i];
        double us = BenchMeasure(runs, 20, [&] {
            if (s.CurrentStep() > 29) s.Restart();
            s.StepPixels(out.data(), w, h, pictures);
        });
        std::printf("  %-18s  %8.1f us  %5.2f x copy\n", names[i], us, us / copyUs);
    }
    return 0;
}
