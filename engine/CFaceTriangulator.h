#pragma once
// Cuts a face of four corners or more into triangles: a fan around its first corner, or ear
// clipping where the fan would leave its outline.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace VELK
{

class CFaceTriangulator
{
public:
    // Writes the count - 2 triangles of one face into out (3 * (count - 2) numbers taken
    // from corners), each wound like the face. Corner k stands at positions + corners[k] *
    // stride (x, y, z). A face whose outline, seen along its own normal, is simple but not
    // convex is ear clipped; every other face (convex, degenerate, self-intersecting, not
    // finite, or too large or too tangled to clip at a bounded cost) is a fan around corner 0.
    // Returns true when the face was ear clipped. Keeps scratch memory between calls.
    bool triangulate(const float* positions, std::size_t stride, const std::uint32_t* corners, std::uint32_t count,
                     std::uint32_t* out);

    static void fan(const std::uint32_t* corners, std::uint32_t count, std::uint32_t* out);

    static const std::uint32_t kMostCorners;           // larger faces are always fanned

private:
    static bool fanFitsQuad(const float* positions, std::size_t stride, const std::uint32_t* corners);
    bool project(const float* positions, std::size_t stride, const std::uint32_t* corners, std::uint32_t count);
    bool isSimple(std::uint32_t count);
    bool clipEars(std::uint32_t count);
    bool isEar(std::uint32_t corner, std::uint64_t& work) const;
    double turn(std::uint32_t a, std::uint32_t b, std::uint32_t c) const;  // > 0: b turns left
    bool inLine(std::uint32_t a, std::uint32_t b, std::uint32_t c) const;  // b within tolerance of line a c

    double tolerance = 0.0;                            // distances below it are rounding
    std::vector<double> points;                        // x, y, z of each corner less corner 0's
    std::vector<double> u;                             // the outline on its plane, turning
    std::vector<double> v;                             // counter-clockwise, corner 0 at (0, 0)
    std::vector<std::uint32_t> previous;               // the corners still on the outline
    std::vector<std::uint32_t> next;
    std::vector<std::uint8_t> reflex;                  // per corner: not convex, so it may lie in an ear
    std::vector<std::uint8_t> ear;                     // per corner: its triangle may be cut off
    std::vector<std::uint32_t> reflexCorners;          // those of them still on the outline
    std::vector<std::uint32_t> edges;                  // edge k runs from corner k to k + 1
    std::vector<std::uint32_t> cut;                    // corner numbers of the ears, 3 each
};

} // namespace VELK
