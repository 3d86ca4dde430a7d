// quantize.cpp: median-cut palettes with k-means refinement.
#include "quantize.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <tuple>

namespace {

using Box = std::vector<Rgb>;

int channel(const Rgb& c, int axis) {
    return axis == 0 ? c.r : axis == 1 ? c.g : c.b;
}

// The widest channel of a box and its extent.
std::pair<int, int> widestAxis(const Box& box) {
    int bestAxis = 0, bestRange = -1;
    for (int axis = 0; axis < 3; ++axis) {
        int lo = 255, hi = 0;
        for (const Rgb& c : box) lo = std::min(lo, channel(c, axis)), hi = std::max(hi, channel(c, axis));
        if (hi - lo > bestRange) bestRange = hi - lo, bestAxis = axis;
    }
    return {bestAxis, bestRange};
}

Rgb meanColour(const std::array<double, 4>& sum) {
    auto c = [&](int i) { return static_cast<uint8_t>(std::lround(sum[i] / sum[3])); };
    return {c(0), c(1), c(2)};
}

int distance2(const Rgb& a, const Rgb& b) {
    int dr = a.r - b.r, dg = a.g - b.g, db = a.b - b.b;
    return dr * dr + dg * dg + db * db;
}

}  // namespace

std::vector<Rgb> medianCutPalette(const std::vector<Rgb>& colours, int maxColours) {
    if (colours.empty() || maxColours <= 0) return {};
    std::vector<Box> boxes{colours};
    while (static_cast<int>(boxes.size()) < maxColours) {
        // Split the box whose widest channel, weighted by its population, is largest.
        size_t pick = boxes.size();
        double pickScore = 0;
        for (size_t i = 0; i < boxes.size(); ++i) {
            auto [axis, range] = widestAxis(boxes[i]);
            double score = range * std::sqrt(static_cast<double>(boxes[i].size()));
            if (range > 0 && score > pickScore) pick = i, pickScore = score;
        }
        if (pick == boxes.size()) break;  // every box holds a single colour
        Box& box = boxes[pick];
        int axis = widestAxis(box).first;
        std::sort(box.begin(), box.end(), [axis](const Rgb& a, const Rgb& b) {
            int ka = channel(a, axis), kb = channel(b, axis);
            if (ka != kb) return ka < kb;
            return std::tie(a.r, a.g, a.b) < std::tie(b.r, b.g, b.b);
        });
        // Cut at the median, moved off a run of equal values so both halves differ.
        size_t cut = box.size() / 2;
        while (cut > 0 && channel(box[cut - 1], axis) == channel(box[cut], axis)) --cut;
        if (cut == 0) {
            cut = box.size() / 2;
            while (cut < box.size() && channel(box[cut - 1], axis) == channel(box[cut], axis)) ++cut;
        }
        Box upper(box.begin() + cut, box.end());
        box.resize(cut);
        boxes.push_back(std::move(upper));
    }
    std::vector<Rgb> palette;
    for (const Box& box : boxes) {
        std::array<double, 4> sum{};
        for (const Rgb& c : box) sum[0] += c.r, sum[1] += c.g, sum[2] += c.b, sum[3] += 1;
        palette.push_back(meanColour(sum));
    }
    for (int round = 0; round < 6; ++round) {
        std::vector<std::array<double, 4>> sums(palette.size(), std::array<double, 4>{});
        for (const Rgb& c : colours) {
            auto& s = sums[nearestIndex(palette, c, 0)];
            s[0] += c.r, s[1] += c.g, s[2] += c.b, s[3] += 1;
        }
        for (size_t i = 0; i < palette.size(); ++i)
            if (sums[i][3] > 0) palette[i] = meanColour(sums[i]);
    }
    return palette;
}

uint8_t nearestIndex(const std::vector<Rgb>& palette, const Rgb& c, int first) {
    int best = first, bestDistance = 1 << 30;
    for (int i = first; i < static_cast<int>(palette.size()); ++i) {
        int d = distance2(palette[i], c);
        if (d < bestDistance) best = i, bestDistance = d;
    }
    return static_cast<uint8_t>(best);
}
