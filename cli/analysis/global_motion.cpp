#include "cli/analysis/global_motion.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

Pyramid build_pyramid(Plane luma, int min_width) {
  Pyramid pyramid;
  pyramid.levels.push_back(std::move(luma));
  while (pyramid.levels.back().width / 2 >= min_width && pyramid.levels.back().height / 2 >= 16) {
    pyramid.levels.push_back(half_size(pyramid.levels.back()));
  }
  return pyramid;
}

Pyramid build_pyramid_from_half(Plane half, int min_width) {
  Pyramid pyramid;
  pyramid.levels.emplace_back();
  pyramid.levels.push_back(std::move(half));
  while (pyramid.levels.back().width / 2 >= min_width && pyramid.levels.back().height / 2 >= 16) {
    pyramid.levels.push_back(half_size(pyramid.levels.back()));
  }
  return pyramid;
}

double shifted_difference(const Plane& prev, const Plane& cur, int dx, int dy, int step) {
  const int x0 = std::max(0, dx), x1 = std::min(cur.width, prev.width + dx);
  const int y0 = std::max(0, dy), y1 = std::min(cur.height, prev.height + dy);
  if (x1 - x0 < 4 || y1 - y0 < 4) return std::numeric_limits<double>::infinity();
  double sum = 0;
  long count = 0;
  for (int y = y0; y < y1; y += step) {
    const float* c = cur.row(y);
    const float* p = prev.row(y - dy) - dx;
    if (step == 1) {
      // Eight running sums, so that the loop runs eight samples at a time.
      float lanes[8] = {};
      int x = x0;
      for (; x + 8 <= x1; x += 8) {
        for (int k = 0; k < 8; ++k) lanes[k] += std::fabs(c[x + k] - p[x + k]);
      }
      float row_sum = 0;
      for (; x < x1; ++x) row_sum += std::fabs(c[x] - p[x]);
      for (float lane : lanes) row_sum += lane;
      sum += row_sum;
      count += x1 - x0;
    } else {
      float row_sum = 0;
      for (int x = x0; x < x1; x += step) row_sum += std::fabs(c[x] - p[x]);
      sum += row_sum;
      count += (x1 - x0 + step - 1) / step;
    }
  }
  return sum / double(count);
}

namespace {

// A shift is taken over the one at the centre of the search only when it
// matches clearly better: on a flat or noisy picture every shift matches
// about as well, and the picture should then read as still.
bool clearly_better(double candidate, double centre) {
  return candidate < centre * 0.98 - 0.01;
}

}  // namespace

ShiftSearch search_shift(const Pyramid& prev, const Pyramid& cur, int coarse_radius) {
  return refine_to_full_size(prev, cur, coarse_shift(prev, cur, coarse_radius));
}

ShiftSearch coarse_shift(const Pyramid& prev, const Pyramid& cur, int coarse_radius) {
  const int top = int(std::min(prev.levels.size(), cur.levels.size())) - 1;
  const Plane& pc = prev.levels[size_t(top)];
  const Plane& cc = cur.levels[size_t(top)];
  const double still = shifted_difference(pc, cc, 0, 0);
  int bx = 0, by = 0;
  double best = still;
  // Every other shift first, then the eight around the best of those: a
  // quarter of the work of trying them all, and the picture at this level
  // is smooth enough that the best lies next to the best of the coarse grid.
  for (int dy = -coarse_radius; dy <= coarse_radius; dy += 2) {
    for (int dx = -coarse_radius; dx <= coarse_radius; dx += 2) {
      const double d = shifted_difference(pc, cc, dx, dy);
      if (d < best) {
        best = d;
        bx = dx;
        by = dy;
      }
    }
  }
  const int gx = bx, gy = by;
  for (int dy = gy - 1; dy <= gy + 1; ++dy) {
    for (int dx = gx - 1; dx <= gx + 1; ++dx) {
      if ((dx - gx) % 2 == 0 && (dy - gy) % 2 == 0) continue;
      const double d = shifted_difference(pc, cc, dx, dy);
      if (d < best) {
        best = d;
        bx = dx;
        by = dy;
      }
    }
  }
  if (!clearly_better(best, still)) {
    bx = by = 0;
    best = still;
  }
  ShiftSearch result;
  result.coarse_difference = best;
  result.x = bx;
  result.y = by;
  result.level = top;
  return result;
}

ShiftSearch refine_to_full_size(const Pyramid& prev, const Pyramid& cur, ShiftSearch coarse) {
  int bx = coarse.x, by = coarse.y;
  for (int level = coarse.level - 1; level >= 0; --level) {
    const Plane& p = prev.levels[size_t(level)];
    const Plane& c = cur.levels[size_t(level)];
    // Large levels are compared on every other sample: enough to place the
    // shift, at a quarter of the work.
    const int step = c.width >= 640 ? 2 : 1;
    const double centre = shifted_difference(p, c, 2 * bx, 2 * by, step);
    int cx = 2 * bx, cy = 2 * by;
    double level_best = centre;
    for (int dy = -1; dy <= 1; ++dy) {
      for (int dx = -1; dx <= 1; ++dx) {
        const double d = shifted_difference(p, c, 2 * bx + dx, 2 * by + dy, step);
        if (d < level_best) {
          level_best = d;
          cx = 2 * bx + dx;
          cy = 2 * by + dy;
        }
      }
    }
    if (clearly_better(level_best, centre)) {
      bx = cx;
      by = cy;
    } else {
      bx *= 2;
      by *= 2;
    }
  }
  coarse.x = bx;
  coarse.y = by;
  coarse.level = 0;
  return coarse;
}

Translation refine_shift(const Plane& prev, const Plane& cur, Translation start, int steps) {
  // cur(x + u) ~ prev(x - t) gives cur(x) ~ prev(x - t - u): each step
  // solves for u with cur's own gradients, worked out once, and adds it to t.
  // Every other sample in each direction is plenty for one translation: the
  // samples at odd x and y, whose gradients are kept side by side.
  const int w = cur.width, h = cur.height;
  const int cw = w / 2;  // odd x holds gradient column x / 2
  // Kept by the thread from call to call (a run refines a shift for every
  // frame); only the samples written here are read below.
  thread_local std::vector<float> gx, gy;
  gx.resize(size_t(cw) * size_t(h / 2 + 1));
  gy.resize(gx.size());
  for (int y = 1; y + 1 < h; y += 2) {
    float* ga = gx.data() + size_t(y / 2) * size_t(cw);
    float* gb = gy.data() + size_t(y / 2) * size_t(cw);
    const float* above = cur.row(y - 1);
    const float* row = cur.row(y);
    const float* below = cur.row(y + 1);
    for (int x = 1; x + 1 < w; x += 2) {
      ga[x / 2] = 0.5f * (row[x + 1] - row[x - 1]);
      gb[x / 2] = 0.5f * (below[x] - above[x]);
    }
  }
  // Sums over a row in four lanes (sample i of the row's run in lane i mod
  // 4), added up in a fixed order: the same whether or not the compiler
  // runs the lanes on a vector.
  constexpr int kLanes = 4;
  Translation t = start;
  double cutoff = std::numeric_limits<double>::infinity();
  for (int step = 0; step < steps; ++step) {
    const int margin = int(std::ceil(std::max(std::fabs(t.x), std::fabs(t.y)))) + 2;
    const int x0 = margin, x1 = w - margin, y0 = margin, y1 = h - margin;
    if (x1 - x0 < 8 || y1 - y0 < 8) break;
    // Sample (x, y) is compared with prev at (x - t.x, y - t.y): whole
    // offsets ox, oy and bilinear weights, the same for every sample.
    const int ox = int(std::floor(-t.x)), oy = int(std::floor(-t.y));
    const float fx = float(-t.x - ox), fy = float(-t.y - oy);
    const float wx0 = 1 - fx, wy0 = 1 - fy;
    const float cut = float(cutoff);  // moving objects, occlusions: left out
    double gxx = 0, gxy = 0, gyy = 0, gxr = 0, gyr = 0, abs_sum = 0;
    long used = 0, seen = 0;
    const int first_x = x0 | 1;
    const int count = (x1 - first_x + 1) / 2;  // odd x in [first_x, x1)
    for (int y = y0 | 1; y < y1; y += 2) {
      const float* p0 = prev.row(y + oy) + ox + first_x;
      const float* p1 = prev.row(y + oy + 1) + ox + first_x;
      const float* c = cur.row(y) + first_x;
      const float* ga = gx.data() + size_t(y / 2) * size_t(cw) + first_x / 2;
      const float* gb = gy.data() + size_t(y / 2) * size_t(cw) + first_x / 2;
      float sxx[kLanes] = {}, sxy[kLanes] = {}, syy[kLanes] = {}, sxr[kLanes] = {}, syr[kLanes] = {};
      float sabs[kLanes] = {}, kept[kLanes] = {};
      auto sample = [&](int i, int lane) {
        const int at = 2 * i;
        const float s = (p0[at] * wx0 + p0[at + 1] * fx) * wy0 + (p1[at] * wx0 + p1[at + 1] * fx) * fy;
        const float r = s - c[at];
        const float magnitude = std::fabs(r);
        sabs[lane] += magnitude;
        const float keep = magnitude <= cut ? 1.0f : 0.0f;
        const float a = ga[i] * keep, b = gb[i] * keep;
        sxx[lane] += a * a;
        sxy[lane] += a * b;
        syy[lane] += b * b;
        sxr[lane] += a * r;
        syr[lane] += b * r;
        kept[lane] += keep;
      };
      int i = 0;
      for (; i + kLanes <= count; i += kLanes) {
        for (int lane = 0; lane < kLanes; ++lane) sample(i + lane, lane);
      }
      for (; i < count; ++i) sample(i, 0);
      for (int lane = 0; lane < kLanes; ++lane) {
        gxx += sxx[lane];
        gxy += sxy[lane];
        gyy += syy[lane];
        gxr += sxr[lane];
        gyr += syr[lane];
        abs_sum += sabs[lane];
        used += long(kept[lane]);
      }
      seen += count;
    }
    const double det = gxx * gyy - gxy * gxy;
    if (used < 64 || det <= 1e-9 * (gxx + gyy) * (gxx + gyy) || det <= 0) break;
    const double ux = (gyy * gxr - gxy * gyr) / det;
    const double uy = (gxx * gyr - gxy * gxr) / det;
    t.x += ux;
    t.y += uy;
    cutoff = 4.0 * abs_sum / double(seen);
    if (std::fabs(ux) < 1e-3 && std::fabs(uy) < 1e-3) break;
  }
  return t;
}

Translation estimate_translation(const Pyramid& prev, const Pyramid& cur) {
  return refine_translation(prev, cur, search_shift(prev, cur));
}

Translation refine_translation(const Pyramid& prev, const Pyramid& cur, const ShiftSearch& whole) {
  Translation t{double(whole.x), double(whole.y)};
  if (prev.levels.size() > 1 && cur.levels.size() > 1) {
    Translation half = refine_shift(prev.levels[1], cur.levels[1], {t.x / 2, t.y / 2}, 8);
    t = {half.x * 2, half.y * 2};
  }
  return refine_shift(prev.levels[0], cur.levels[0], t, 2);
}
