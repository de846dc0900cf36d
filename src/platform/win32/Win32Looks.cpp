#include "platform/win32/Win32Looks.h"

#include <algorithm>
#include <cmath>

namespace platform::win32 {

namespace {

// Subsamples per pixel and axis: edges are drawn by the share of a pixel's
// subsamples inside the shape.
constexpr int kSub = 4;

// The white parts: a dot and two arcs opening upwards, and the ring.
bool Fan(double x, double y, bool ringed) {
    const double cx = 0.0, cy = ringed ? 0.32 : 0.42;
    const double r = std::hypot(x - cx, y - cy) / (ringed ? 0.78 : 1.0);
    const bool upward = (cy - y) > std::abs(x - cx) * 0.95;
    if (r < 0.16) return true;
    for (const double middle : {0.46, 0.78})
        if (upward && std::abs(r - middle) < 0.09) return true;
    return ringed && std::abs(std::hypot(x, y) - 0.8) < 0.09;
}

}  // namespace

std::vector<std::uint32_t> LookPixels(bool scanning, int size) {
    const double colour[3] = {scanning ? 230.0 : 40.0, scanning ? 140.0 : 150.0,
                              scanning ? 20.0 : 70.0};
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(size) * size);
    for (int py = 0; py < size; ++py)
        for (int px = 0; px < size; ++px) {
            int disc = 0, white = 0;
            for (int sy = 0; sy < kSub; ++sy)
                for (int sx = 0; sx < kSub; ++sx) {
                    const double x = ((px + (sx + 0.5) / kSub) / size) * 2 - 1;
                    const double y = ((py + (sy + 0.5) / kSub) / size) * 2 - 1;
                    disc += std::hypot(x, y) <= 0.96;
                    white += Fan(x, y, scanning);
                }
            const double a = disc / double(kSub * kSub);
            const double w = std::min(white / double(kSub * kSub), a);
            // Rounded half to even, as the script that draws the file's icon does.
            const auto byte = [](double v) { return std::uint32_t(std::nearbyint(v)); };
            std::uint32_t pixel = byte(a * 255) << 24;
            for (int i = 0; i < 3; ++i)
                pixel |= byte(a > 0 ? colour[i] * (1 - w / a) + 255 * (w / a) : 0) << (16 - 8 * i);
            pixels[static_cast<std::size_t>(py) * size + px] = pixel;
        }
    return pixels;
}

HICON DrawLook(bool scanning, int size) {
    const std::vector<std::uint32_t> pixels = LookPixels(scanning, size);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = size;
    info.bmiHeader.biHeight = -size;  // rows from the top
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    const HBITMAP colour = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    // The mask is set where the look is fully transparent; rows of whole words.
    const int stride = (size + 15) / 16 * 2;
    std::vector<std::uint8_t> maskBits(static_cast<std::size_t>(stride) * size);
    for (int i = 0; i < size * size; ++i) {
        const int row = i / size, column = i % size;
        if ((pixels[i] >> 24) == 0) maskBits[row * stride + column / 8] |= 0x80 >> (column % 8);
    }
    const HBITMAP mask = CreateBitmap(size, size, 1, 1, maskBits.data());
    HICON icon = nullptr;
    if (colour != nullptr && mask != nullptr) {
        std::copy(pixels.begin(), pixels.end(), static_cast<std::uint32_t*>(bits));
        ICONINFO parts{TRUE, 0, 0, mask, colour};
        icon = CreateIconIndirect(&parts);
    }
    if (colour != nullptr) DeleteObject(colour);
    if (mask != nullptr) DeleteObject(mask);
    return icon;
}

}  // namespace platform::win32
