// icon_art.cpp: icon pictures as layers of shapes in a unit square (y down), sampled 4 x 4 per
// pixel so that small sizes stay smooth.
#include "icon_art.h"

#include <cmath>

namespace {

struct Paint {
    double r = 0, g = 0, b = 0, a = 0;
};

Paint opaque(double r, double g, double b) {
    return {r, g, b, 1.0};
}

bool inRect(double x, double y, double x0, double y0, double x1, double y1) {
    return x >= x0 && x < x1 && y >= y0 && y < y1;
}

bool inRoundRect(double x, double y, double x0, double y0, double x1, double y1, double radius) {
    if (!inRect(x, y, x0, y0, x1, y1)) {
        return false;
    }
    double cx = std::fmin(std::fmax(x, x0 + radius), x1 - radius);
    double cy = std::fmin(std::fmax(y, y0 + radius), y1 - radius);
    return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= radius * radius;
}

double distance(double x, double y, double cx, double cy) {
    return std::hypot(x - cx, y - cy);
}

Paint locomotive(double x, double y) {
    Paint p;
    if (inRect(x, y, 0.04, 0.88, 0.96, 0.95)) {
        p = opaque(0.62, 0.62, 0.66); // rail
    }
    if (inRect(x, y, 0.26, 0.8, 0.4, 0.9) || inRect(x, y, 0.6, 0.8, 0.74, 0.9)) {
        p = opaque(0.12, 0.12, 0.12); // wheels
    }
    if (inRoundRect(x, y, 0.16, 0.08, 0.84, 0.8, 0.14)) {
        p = y < 0.2 ? opaque(0.55, 0.08, 0.06) : opaque(0.80, 0.16, 0.10); // body, roof
    }
    if (inRoundRect(x, y, 0.24, 0.24, 0.47, 0.44, 0.04) ||
        inRoundRect(x, y, 0.53, 0.24, 0.76, 0.44, 0.04)) {
        p = opaque(0.62, 0.84, 0.96); // windscreens
    }
    if (inRect(x, y, 0.16, 0.5, 0.84, 0.54)) {
        p = opaque(0.95, 0.85, 0.35); // stripe
    }
    if (distance(x, y, 0.5, 0.64) < 0.075) {
        p = opaque(1.0, 0.95, 0.55); // headlight
    }
    if (inRect(x, y, 0.08, 0.74, 0.92, 0.82)) {
        p = opaque(0.18, 0.18, 0.18); // buffer beam
    }
    if (distance(x, y, 0.17, 0.78) < 0.065 || distance(x, y, 0.83, 0.78) < 0.065) {
        p = opaque(0.72, 0.72, 0.74); // buffers
    }
    return p;
}

Paint wheel(double x, double y) {
    Paint p;
    const double cx = 0.5, cy = 0.45, rim = 0.39;
    double d = distance(x, y, cx, cy);
    if (d < rim + 0.04 && y > cy + 0.2) {
        p = opaque(0.35, 0.35, 0.38); // flange, behind the rail
    }
    if (inRect(x, y, 0.02, 0.84, 0.98, 0.9)) {
        p = opaque(0.78, 0.78, 0.82); // rail head
    } else if (inRect(x, y, 0.45, 0.9, 0.55, 0.94) || inRect(x, y, 0.2, 0.94, 0.8, 0.98)) {
        p = opaque(0.45, 0.30, 0.20); // web and foot
    }
    if (d < rim) {
        double angle = std::atan2(y - cy, x - cx);
        double spoke = std::fabs(std::remainder(angle, 3.14159265358979 / 4));
        if (d > rim - 0.08) {
            p = opaque(0.72, 0.72, 0.76); // tyre
        } else if (d < 0.1) {
            p = opaque(0.28, 0.28, 0.30); // hub
        } else if (spoke * d < 0.03) {
            p = opaque(0.62, 0.14, 0.10); // spokes; open between them
        }
    }
    if (d < 0.045) {
        p = opaque(0.85, 0.85, 0.88);
    }
    return p;
}

std::vector<Rgba> render(int size, Paint (*art)(double, double)) {
    std::vector<Rgba> pixels(size * size);
    const int samples = 4;
    for (int py = 0; py < size; ++py) {
        for (int px = 0; px < size; ++px) {
            double r = 0, g = 0, b = 0, a = 0;
            for (int sy = 0; sy < samples; ++sy) {
                for (int sx = 0; sx < samples; ++sx) {
                    Paint p =
                        art((px + (sx + 0.5) / samples) / size, (py + (sy + 0.5) / samples) / size);
                    r += p.r * p.a;
                    g += p.g * p.a;
                    b += p.b * p.a;
                    a += p.a;
                }
            }
            Rgba& out = pixels[py * size + px];
            if (a > 0) {
                out = {static_cast<uint8_t>(std::lround(255 * r / a)),
                       static_cast<uint8_t>(std::lround(255 * g / a)),
                       static_cast<uint8_t>(std::lround(255 * b / a)),
                       static_cast<uint8_t>(std::lround(255 * a / (samples * samples)))};
            }
        }
    }
    return pixels;
}

} // namespace

std::vector<Rgba> drawLocomotiveFront(int size) {
    return render(size, locomotive);
}
std::vector<Rgba> drawWheelOnRail(int size) {
    return render(size, wheel);
}
