// Triangles of one face: the fan, and ear clipping for simple outlines that are not convex.
#include "engine/CFaceTriangulator.h"

#include <algorithm>
#include <cmath>

namespace VELK
{

namespace
{

// A corner nearer than this share of the face's largest coordinate to the line through its
// neighbours counts as in line with them: a few steps of a float there, so that rounding in
// the file's numbers does not turn a convex face with corners along its edges into a
// concave one, whose triangles would then differ from the fan.
const double kStraight = 1.0 / (1 << 21);

// An outline whose area is below this share of its extent squared is a line or a point.
const double kFlatArea = 1e-6;

// Ear clipping gives up, and the face is fanned, after this many point tests per corner
// squared: a simple outline needs at most about three.
const std::uint64_t kWorkPerCornerSquared = 4;

// Edges of an outline that cross in one point inside both of them; touching, sharing a
// corner or running along each other is not crossing.
bool crossProperly(double au, double av, double bu, double bv, double cu, double cv, double du, double dv)
{
    const double c = (bu - au) * (cv - av) - (bv - av) * (cu - au);
    const double d = (bu - au) * (dv - av) - (bv - av) * (du - au);
    if (!((c > 0 && d < 0) || (c < 0 && d > 0)))
        return false;
    const double a = (du - cu) * (av - cv) - (dv - cv) * (au - cu);
    const double b = (du - cu) * (bv - cv) - (dv - cv) * (bu - cu);
    return (a > 0 && b < 0) || (a < 0 && b > 0);
}

} // namespace

const std::uint32_t CFaceTriangulator::kMostCorners = 1024;

void CFaceTriangulator::fan(const std::uint32_t* corners, std::uint32_t count, std::uint32_t* out)
{
    // Triangle k is corners 0, k + 1, k + 2: the face's turning order is kept.
    for (std::uint32_t k = 1; k + 1 < count; ++k) {
        *out++ = corners[0];
        *out++ = corners[k];
        *out++ = corners[k + 1];
    }
}

bool CFaceTriangulator::triangulate(const float* positions, std::size_t stride, const std::uint32_t* corners,
                                    std::uint32_t count, std::uint32_t* out)
{
    if (count > 3 && count <= kMostCorners && !(count == 4 && fanFitsQuad(positions, stride, corners)) &&
        project(positions, stride, corners, count) && isSimple(count) && clipEars(count)) {
        for (std::uint32_t corner : cut)
            *out++ = corners[corner];
        return true;
    }
    fan(corners, count, out);
    return false;
}

bool CFaceTriangulator::fanFitsQuad(const float* positions, std::size_t stride, const std::uint32_t* corners)
{
    // Quads are most faces of many files, and this settles nearly all of them with a few
    // multiplications. The fan's diagonal from corner 0 to 2 lies inside the quad when its
    // two triangles face the same way as the whole: then the quad is convex, or concave at
    // corner 0 or 2, where ear clipping would cut the same two triangles.
    const float* p0 = positions + corners[0] * stride;
    const float* p1 = positions + corners[1] * stride;
    const float* p2 = positions + corners[2] * stride;
    const float* p3 = positions + corners[3] * stride;
    double a[3];
    double b[3];
    double c[3];
    for (unsigned i = 0; i < 3; ++i) {
        a[i] = static_cast<double>(p1[i]) - p0[i];
        b[i] = static_cast<double>(p2[i]) - p0[i];
        c[i] = static_cast<double>(p3[i]) - p0[i];
    }
    const double first[3] = {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
    const double second[3] = {b[1] * c[2] - b[2] * c[1], b[2] * c[0] - b[0] * c[2], b[0] * c[1] - b[1] * c[0]};
    // Their sum is the quad's Newell normal; seen along its largest axis, as project() does.
    const double normal[3] = {first[0] + second[0], first[1] + second[1], first[2] + second[2]};
    unsigned axis = std::fabs(normal[1]) > std::fabs(normal[0]) ? 1 : 0;
    if (std::fabs(normal[2]) > std::fabs(normal[axis]))
        axis = 2;
    return first[axis] * normal[axis] > 0 && second[axis] * normal[axis] > 0;
}

bool CFaceTriangulator::project(const float* positions, std::size_t stride, const std::uint32_t* corners,
                                std::uint32_t count)
{
    // Newell's normal, from the corners taken relative to the first so that large
    // coordinates keep their small differences.
    const float* origin = positions + corners[0] * stride;
    points.resize(3 * static_cast<std::size_t>(count));
    double* point = points.data();
    float largest = 0.0f;
    for (std::uint32_t k = 0; k < count; ++k) {
        const float* p = positions + corners[k] * stride;
        point[3 * k] = static_cast<double>(p[0]) - origin[0];
        point[3 * k + 1] = static_cast<double>(p[1]) - origin[1];
        point[3 * k + 2] = static_cast<double>(p[2]) - origin[2];
        largest = std::max({largest, std::fabs(p[0]), std::fabs(p[1]), std::fabs(p[2])});
    }
    tolerance = kStraight * largest;
    double normal[3] = {0.0, 0.0, 0.0};
    for (std::uint32_t k = 0, j = 1; k < count; ++k, j = j + 1 == count ? 0 : j + 1) {
        const double* a = point + 3 * k;
        const double* b = point + 3 * j;
        normal[0] += (a[1] - b[1]) * (a[2] + b[2]);
        normal[1] += (a[2] - b[2]) * (a[0] + b[0]);
        normal[2] += (a[0] - b[0]) * (a[1] + b[1]);
    }

    // Seen along the normal's largest axis, the other two taken in cyclic order so that the
    // outline turns counter-clockwise when that component is positive, and mirrored when not.
    unsigned axis = std::fabs(normal[1]) > std::fabs(normal[0]) ? 1 : 0;
    if (std::fabs(normal[2]) > std::fabs(normal[axis]))
        axis = 2;
    const unsigned first = (axis + 1) % 3;
    const unsigned second = (axis + 2) % 3;
    const double mirror = normal[axis] < 0 ? -1.0 : 1.0;
    u.resize(count);
    v.resize(count);
    for (std::uint32_t k = 0; k < count; ++k) {
        u[k] = point[3 * k + first];
        v[k] = mirror * point[3 * k + second];
    }

    reflex.assign(count, 0);
    bool concave = false;
    for (std::uint32_t k = 0; k < count; ++k) {
        const std::uint32_t a = k == 0 ? count - 1 : k - 1;
        const std::uint32_t c = k + 1 == count ? 0 : k + 1;
        const double bend = turn(a, k, c);
        if (bend > 0)
            continue;
        reflex[k] = 1;
        concave = concave || !inLine(a, k, c);
    }
    if (!concave)
        return false;                                  // convex, or not finite

    double low[2] = {0.0, 0.0};
    double high[2] = {0.0, 0.0};
    for (std::uint32_t k = 0; k < count; ++k) {
        low[0] = std::min(low[0], u[k]);
        high[0] = std::max(high[0], u[k]);
        low[1] = std::min(low[1], v[k]);
        high[1] = std::max(high[1], v[k]);
    }
    const double extent = std::max(high[0] - low[0], high[1] - low[1]);
    const double area = std::fabs(normal[axis]);   // twice the outline's area on this plane
    return std::isfinite(extent) && std::isfinite(area) && area > kFlatArea * extent * extent;
}

bool CFaceTriangulator::isSimple(std::uint32_t count)
{
    // Edges in order of their left end: only those whose spans across u overlap can cross.
    const auto left = [this, count](std::uint32_t k) { return std::min(u[k], u[k + 1 == count ? 0 : k + 1]); };
    edges.resize(count);
    for (std::uint32_t k = 0; k < count; ++k)
        edges[k] = k;
    std::sort(edges.begin(), edges.end(), [&left](std::uint32_t a, std::uint32_t b) { return left(a) < left(b); });
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint32_t a = edges[i];
        const std::uint32_t a1 = a + 1 == count ? 0 : a + 1;
        const double right = std::max(u[a], u[a1]);
        const double bottom = std::min(v[a], v[a1]);
        const double top = std::max(v[a], v[a1]);
        for (std::uint32_t j = i + 1; j < count && left(edges[j]) <= right; ++j) {
            const std::uint32_t b = edges[j];
            const std::uint32_t b1 = b + 1 == count ? 0 : b + 1;
            if (b1 == a || a1 == b || std::max(v[b], v[b1]) < bottom || std::min(v[b], v[b1]) > top)
                continue;
            if (crossProperly(u[a], v[a], u[a1], v[a1], u[b], v[b], u[b1], v[b1]))
                return false;
        }
    }
    return true;
}

double CFaceTriangulator::turn(std::uint32_t a, std::uint32_t b, std::uint32_t c) const
{
    return (u[b] - u[a]) * (v[c] - v[a]) - (v[b] - v[a]) * (u[c] - u[a]);
}

bool CFaceTriangulator::inLine(std::uint32_t a, std::uint32_t b, std::uint32_t c) const
{
    // The turn is the distance of b from the line a c times the length of a c.
    const double bend = turn(a, b, c);
    const double du = u[c] - u[a];
    const double dv = v[c] - v[a];
    return bend * bend <= tolerance * tolerance * (du * du + dv * dv);
}

bool CFaceTriangulator::isEar(std::uint32_t corner, std::uint64_t& work) const
{
    const std::uint32_t a = previous[corner];
    const std::uint32_t c = next[corner];
    if (turn(a, corner, c) <= 0)
        return false;
    const double lowU = std::min({u[a], u[corner], u[c]});
    const double highU = std::max({u[a], u[corner], u[c]});
    const double lowV = std::min({v[a], v[corner], v[c]});
    const double highV = std::max({v[a], v[corner], v[c]});
    const auto same = [this](std::uint32_t p, std::uint32_t q) { return u[p] == u[q] && v[p] == v[q]; };
    work += reflexCorners.size();
    for (std::uint32_t q : reflexCorners) {
        if (!reflex[q] || u[q] < lowU || u[q] > highU || v[q] < lowV || v[q] > highV)
            continue;
        // A corner standing where one of the ear's stands is the other side of a cut into a
        // hole (the outline goes in and comes back along the same edge): it does not block.
        if (same(q, a) || same(q, corner) || same(q, c))
            continue;
        if (turn(a, corner, q) >= 0 && turn(corner, c, q) >= 0 && turn(c, a, q) >= 0)
            return false;
    }
    return true;
}

bool CFaceTriangulator::clipEars(std::uint32_t count)
{
    previous.resize(count);
    next.resize(count);
    reflexCorners.clear();
    for (std::uint32_t k = 0; k < count; ++k) {
        previous[k] = k == 0 ? count - 1 : k - 1;
        next[k] = k + 1 == count ? 0 : k + 1;
        if (reflex[k])
            reflexCorners.push_back(k);
    }
    // Whether each corner is an ear is known at all times: clipping one changes only its
    // neighbours' triangles, and a corner blocked from being an ear stays blocked while
    // its triangle stays, since some reflex corner lies in it as long as any corner does.
    // So the whole cut costs about count squared point tests.
    std::uint64_t work = 0;
    ear.resize(count);
    for (std::uint32_t k = 0; k < count; ++k)
        ear[k] = isEar(k, work);
    const std::uint64_t budget = kWorkPerCornerSquared * count * count;
    cut.clear();

    // Ears are taken in turning order from corner 1 on, so that a fan's ears come out as
    // the fan.
    std::uint32_t corner = 1;
    for (std::uint32_t remaining = count; remaining > 3; --remaining) {
        if (work > budget)
            return false;
        std::uint32_t steps = 0;
        while (!ear[corner] && steps < remaining) {
            corner = next[corner];
            ++steps;
        }
        work += steps;
        if (!ear[corner]) {
            // No ear all around: a corner in line with its neighbours (a spike, or one
            // along an edge) goes with a triangle of no area.
            for (steps = 0; steps < remaining && !inLine(previous[corner], corner, next[corner]); ++steps)
                corner = next[corner];
            work += steps;
            if (steps == remaining)
                return false;
        }
        const std::uint32_t a = previous[corner];
        const std::uint32_t c = next[corner];
        cut.push_back(a);
        cut.push_back(corner);
        cut.push_back(c);
        next[a] = c;
        previous[c] = a;
        reflex[corner] = 0;
        ear[corner] = 0;
        // Removing an ear only narrows the angles at its neighbours.
        if (reflex[a] && turn(previous[a], a, c) > 0)
            reflex[a] = 0;
        if (reflex[c] && turn(a, c, next[c]) > 0)
            reflex[c] = 0;
        reflexCorners.erase(std::remove_if(reflexCorners.begin(), reflexCorners.end(),
                                           [this](std::uint32_t q) { return !reflex[q]; }),
                            reflexCorners.end());
        ear[a] = isEar(a, work);
        ear[c] = isEar(c, work);
        corner = c;
    }
    cut.push_back(previous[corner]);
    cut.push_back(corner);
    cut.push_back(next[corner]);
    return true;
}

} // namespace VELK
