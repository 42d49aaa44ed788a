#include "app/win32/gdi_painting.h"

#include "app/display/paint_geometry.h"

namespace rm525::wingui {

namespace {

RECT ToRect(const display::PixelRect& r) {
    return RECT{r.left, r.top, r.right, r.bottom};
}

// A memory device context holding `bitmap` for as long as it lives.
class SelectedBitmap {
public:
    SelectedBitmap(HDC target, HBITMAP bitmap) : dc_(CreateCompatibleDC(target)) {
        if (dc_ != nullptr && bitmap != nullptr) {
            previous_ = SelectObject(dc_, bitmap);
        }
    }
    ~SelectedBitmap() {
        if (previous_ != nullptr) {
            SelectObject(dc_, previous_);
        }
        if (dc_ != nullptr) {
            DeleteDC(dc_);
        }
    }
    SelectedBitmap(const SelectedBitmap&) = delete;
    SelectedBitmap& operator=(const SelectedBitmap&) = delete;
    HDC dc() const { return dc_; }

private:
    HDC dc_;
    HGDIOBJ previous_ = nullptr;
};

}  // namespace

bool PaintProgressBar(HDC target, int bottom, int percent, HBITMAP digits) {
    SelectedBitmap strip(target, digits);
    const HBRUSH white = CreateSolidBrush(RGB(255, 255, 255));
    const HBRUSH blue = CreateSolidBrush(RGB(0, 0, 255));
    const bool made = strip.dc() != nullptr && white != nullptr && blue != nullptr;
    if (made) {
        const RECT outline = ToRect(display::ProgressOutline(bottom));
        const HGDIOBJ previousBrush = SelectObject(target, white);
        Rectangle(target, outline.left, outline.top, outline.right, outline.bottom);
        SelectObject(target, previousBrush);
        const RECT fill = ToRect(display::ProgressFill(bottom, percent));
        FillRect(target, &fill, blue);
        if (digits != nullptr) {
            for (const display::FigureCopy& c : display::ProgressFigures(bottom, percent)) {
                BitBlt(target, c.toX, c.toY, c.width, c.height, strip.dc(), c.fromX, 0, SRCINVERT);
            }
        }
    }
    if (white != nullptr) {
        DeleteObject(white);
    }
    if (blue != nullptr) {
        DeleteObject(blue);
    }
    return made;
}

void PaintBackground(HDC target, const RECT& client, HBITMAP picture) {
    if (picture == nullptr) {
        return;
    }
    SelectedBitmap source(target, picture);
    if (source.dc() == nullptr) {
        return;
    }
    // A photograph: whole pixels copied, not and-ed together as monochrome.
    const int previousMode = SetStretchBltMode(target, COLORONCOLOR);
    const display::PixelRect area{client.left, client.top, client.right, client.bottom};
    for (const display::PixelRect& r : display::BackgroundNest(area)) {
        StretchBlt(target, r.left, r.top, r.Width(), r.Height(), source.dc(), 0, 0,
                   display::kPictureWidth, display::kPictureHeight, SRCCOPY);
    }
    SetStretchBltMode(target, previousMode);
}

void PaintStatusText(HDC target, const std::wstring& text) {
    if (text.empty()) {
        return;
    }
    TextOutW(target, display::kStatusTextX, display::kStatusTextY, text.c_str(),
             static_cast<int>(text.size()));
}

}  // namespace rm525::wingui
