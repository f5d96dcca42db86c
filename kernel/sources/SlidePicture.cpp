#include "SlidePicture.h"

#include <cstring>

#include "ZxLib/ZxLib.h"

namespace {

// The GDI+ frame delays are hundredths of a second.
const DWORD kDelayUnitMs = 10;
const int kThumbWidth = 80;
const int kThumbHeight = 60;

// The cache folder in its long form, so one picture never gets two names
// through a short 8.3 spelling of the folder.
std::string ThumbnailFolder() {
    return Dir::WithSlash(Dir::GetLongPath(Dir::GetZxPath(Dir::kPathThumbCache))) + "ZxVCamSlideThumbnail\\";
}

// The delays of the frames: one 32-bit value per frame in the frame-delay
// property. A list shorter than the frames (a damaged file) is completed
// with 0; a picture without the property (a still, or a single-frame GIF,
// which Wine's GDI+ gives none) has delays of 0.
std::vector<DWORD> FrameDelays(Gdiplus::Image& image, size_t frameCount) {
    std::vector<DWORD> delays(frameCount, 0);
    if (frameCount < 2) return delays;
    UINT size = image.GetPropertyItemSize(PropertyTagFrameDelay);
    if (size < sizeof(Gdiplus::PropertyItem)) return delays;
    std::vector<BYTE> buffer(size);
    Gdiplus::PropertyItem* item = reinterpret_cast<Gdiplus::PropertyItem*>(buffer.data());
    if (image.GetPropertyItem(PropertyTagFrameDelay, size, item) != Gdiplus::Ok || !item->value) return delays;
    size_t listed = item->length / sizeof(UINT);
    const BYTE* values = static_cast<const BYTE*>(item->value);
    for (size_t i = 0; i < listed && i < frameCount; ++i) {
        UINT v = 0;
        memcpy(&v, values + i * sizeof(UINT), sizeof(UINT));
        delays[i] = v * kDelayUnitMs;
    }
    return delays;
}

}  // namespace

bool CSlidePicture::Compose(const std::string& file, int frameWidth, int frameHeight, bool stretch,
                            unsigned background) {
    frames.clear();
    shownIndex = -1;
    width = frameWidth;
    height = frameHeight;
    if (frameWidth <= 0 || frameHeight <= 0) return false;
    std::wstring wide = Charset::String2WString(file);
    Gdiplus::Image image(wide.c_str(), FALSE);
    if (image.GetLastStatus() != Gdiplus::Ok) return false;
    const UINT pw = image.GetWidth(), ph = image.GetHeight();
    if (pw == 0 || ph == 0) return false;

    UINT frameCount = 1;
    GUID dimension = Gdiplus::FrameDimensionTime;
    UINT dimensions = image.GetFrameDimensionsCount();
    if (dimensions > 0) {
        std::vector<GUID> ids(dimensions);
        if (image.GetFrameDimensionsList(ids.data(), dimensions) == Gdiplus::Ok) {
            for (const GUID& id : ids) {
                if (id == Gdiplus::FrameDimensionTime) {
                    UINT n = image.GetFrameCount(&dimension);
                    if (n > 1) frameCount = n;
                }
            }
        }
    }
    std::vector<DWORD> delays = FrameDelays(image, frameCount);

    // Where the picture goes in the frame.
    Gdiplus::Rect target(0, 0, frameWidth, frameHeight);
    const float pictureRatio = static_cast<float>(pw) / static_cast<float>(ph);
    const float frameRatio = static_cast<float>(frameWidth) / static_cast<float>(frameHeight);
    if (!stretch && pictureRatio != frameRatio) {
        if (pictureRatio < frameRatio) {
            int w = static_cast<int>(pictureRatio * static_cast<float>(frameHeight));
            target = Gdiplus::Rect((frameWidth - w) / 2, 0, w, frameHeight);
        } else {
            int h = static_cast<int>(static_cast<float>(frameWidth) / pictureRatio);
            target = Gdiplus::Rect(0, (frameHeight - h) / 2, frameWidth, h);
        }
    }

    for (UINT i = 0; i < frameCount; ++i) {
        if (frameCount > 1 && image.SelectActiveFrame(&dimension, i) != Gdiplus::Ok) {
            frames.clear();
            return false;
        }
        SlideFrame frame;
        frame.bitmap.reset(new Gdiplus::Bitmap(frameWidth, frameHeight, PixelFormat32bppARGB));
        if (frame.bitmap->GetLastStatus() != Gdiplus::Ok) {
            frames.clear();
            return false;
        }
        {
            Gdiplus::Graphics graphics(frame.bitmap.get());
            graphics.Clear(Gdiplus::Color(static_cast<Gdiplus::ARGB>(background)));
            // Mirrored edges keep the scaling filter from blending the
            // picture's border with the empty space around it.
            Gdiplus::ImageAttributes attributes;
            attributes.SetWrapMode(Gdiplus::WrapModeTileFlipXY);
            if (graphics.DrawImage(&image, target, 0, 0, static_cast<INT>(pw), static_cast<INT>(ph), Gdiplus::UnitPixel,
                                   &attributes) != Gdiplus::Ok) {
                frames.clear();
                return false;
            }
        }
        frame.delayMs = delays[i];
        frames.push_back(std::move(frame));
    }
    return true;
}

std::string SlideThumbnailPath(const std::string& picture) {
    return ThumbnailFolder() + Entrypt::GenerateMD5(picture) + ".jpg";
}

bool MakeSlideThumbnail(const std::string& picture, std::string& thumbPath) {
    thumbPath.clear();
    std::wstring wide = Charset::String2WString(picture);
    Gdiplus::Bitmap bitmap(wide.c_str(), FALSE);
    if (bitmap.GetLastStatus() != Gdiplus::Ok || bitmap.GetWidth() == 0 || bitmap.GetHeight() == 0) return false;
    const std::string digest = Entrypt::GenerateMD5(picture);
    if (digest.empty()) return false;
    std::string path = SlideThumbnailPath(picture);
    if (!Dir::MakeDir(File::GetParentPath(path))) return false;
    if (File::IsExistFile(path)) {
        thumbPath = path;
        return true;
    }
    CLSID jpeg;
    if (!FindImageEncoder(L"image/jpeg", jpeg)) return false;
    std::unique_ptr<Gdiplus::Image> thumb(bitmap.GetThumbnailImage(kThumbWidth, kThumbHeight, nullptr, nullptr));
    if (!thumb || thumb->GetLastStatus() != Gdiplus::Ok) return false;
    if (thumb->Save(Charset::String2WString(path).c_str(), &jpeg, nullptr) != Gdiplus::Ok) return false;
    thumbPath = path;
    return true;
}

bool DrawSlideBitmap(Gdiplus::Bitmap* bitmap, BYTE* frame, int width, int height) {
    if (!bitmap || !frame || width <= 0 || height <= 0) return false;
    if (static_cast<int>(bitmap->GetWidth()) != width || static_cast<int>(bitmap->GetHeight()) != height) return false;
    Gdiplus::Rect all(0, 0, width, height);
    Gdiplus::BitmapData data;
    if (bitmap->LockBits(&all, Gdiplus::ImageLockModeRead, PixelFormat32bppARGB, &data) != Gdiplus::Ok) return false;
    const int stride = VideoFrameStride(width, 24);
    const BYTE* src = static_cast<const BYTE*>(data.Scan0);
    for (int r = 0; r < height; ++r) {
        // Frame row r (from the bottom) is bitmap row height - 1 - r.
        const BYTE* in = src + static_cast<ptrdiff_t>(data.Stride) * (height - 1 - r);
        BYTE* out = frame + static_cast<ptrdiff_t>(stride) * r;
        for (int x = 0; x < width; ++x) {
            out[0] = in[0];
            out[1] = in[1];
            out[2] = in[2];
            out += 3;
            in += 4;
        }
    }
    bitmap->UnlockBits(&data);
    return true;
}
