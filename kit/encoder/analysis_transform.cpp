#include "kit/encoder/analysis_transform.h"

#include <cmath>
#include <stdexcept>
#include <utility>

namespace encoder {

namespace {

// The decoder's single-precision constants, widened exactly.
const double C4 = double(0.3535533845424652099609375f);
const double C8 = double(0.461939752101898193359375f);
const double S8 = double(0.19134171307086944580078125f);
const double RC = double(0.95579302310943603515625f);
const double RS = double(0.29404032230377197265625f);
const double K65 = double(0.6532814502716064453125f);
const double K27 = double(0.27059805393218994140625f);

// Group step of the line synthesis: eight coefficients into the eight
// values around two 4-sample blocks.
void groupStep(const double* x, double* a) {
    const double x2h = x[2] * 0.5, x3h = x[3] * 0.5, x4h = x[4] * 0.5;
    const double x5h = x[5] * 0.5, x6h = x[6] * 0.5, x7h = x[7] * 0.5;
    const double e = (x[0] + x[1]) * C4;
    const double dd = (x[0] - x[1]) * C4;
    const double E = x6h * RS + x2h * RC;
    const double F = x6h * RC - x2h * RS;
    const double G = x7h * RS + x3h * RC;
    const double H = x7h * RC - x3h * RS;
    a[0] = E + e;
    a[1] = x4h + F;
    a[2] = e - E;
    a[3] = x4h - F;
    a[4] = G + dd;
    a[5] = H + x5h;
    a[6] = dd - G;
    a[7] = x5h - H;
}

// Boundary and quadruple step for the boundary at k: the values
// a[k-2] .. a[k+1] into the samples x[k-2] .. x[k+1].
void quadrupleStep(const double* a, double* out) {
    const double b0 = a[0] + a[2];
    const double b1 = a[0] - a[2];
    const double b2 = a[3] + a[1];
    const double b3 = a[1] - a[3];
    const double P = (b0 + b2) * 0.5;
    const double Q = (b0 - b2) * 0.5;
    const double R = b1 * S8 - b3 * K65;
    const double T = b1 * C8 + b3 * K27;
    out[0] = T + P;
    out[1] = Q + R;
    out[2] = Q - R;
    out[3] = P - T;
}

// Inverts a small dense N x N matrix by Gauss-Jordan
// elimination with partial pivoting.
template <int N>
void invert(double (&m)[N][N], double (&inverse)[N][N]) {
    double work[N][2 * N];
    for (int r = 0; r < N; ++r)
        for (int c = 0; c < 2 * N; ++c) work[r][c] = c < N ? m[r][c] : (c - N == r ? 1.0 : 0.0);
    for (int col = 0; col < N; ++col) {
        int pivot = col;
        for (int r = col + 1; r < N; ++r)
            if (std::fabs(work[r][col]) > std::fabs(work[pivot][col])) pivot = r;
        if (std::fabs(work[pivot][col]) < 1e-12) throw std::logic_error("singular synthesis stage");
        if (pivot != col)
            for (int c = 0; c < 2 * N; ++c) std::swap(work[pivot][c], work[col][c]);
        const double scale = 1.0 / work[col][col];
        for (int c = 0; c < 2 * N; ++c) work[col][c] *= scale;
        for (int r = 0; r < N; ++r) {
            if (r == col || work[r][col] == 0.0) continue;
            const double factor = work[r][col];
            for (int c = 0; c < 2 * N; ++c) work[r][c] -= factor * work[col][c];
        }
    }
    for (int r = 0; r < N; ++r)
        for (int c = 0; c < N; ++c) inverse[r][c] = work[r][c + N];
}

// The inverses of the three local maps of the line synthesis, built once from
// the synthesis formulas by probing them with unit vectors.
struct LineInverses {
    double group[8][8];       // a[8g..8g+7] -> x[8g..8g+7]
    double interior[4][4];    // x[k-2..k+1] -> a[k-2..k+1]
    double leftEnd[2][2];     // x[0], x[1] -> a[0], a[1]
    double rightEnd[2][2];    // x[n-2], x[n-1] -> a[n-2], a[n-1]

    LineInverses() {
        double forward8[8][8], forward4[4][4], left[2][2], right[2][2];
        for (int j = 0; j < 8; ++j) {
            double unit[8] = {}, out[8];
            unit[j] = 1.0;
            groupStep(unit, out);
            for (int r = 0; r < 8; ++r) forward8[r][j] = out[r];
        }
        for (int j = 0; j < 4; ++j) {
            double unit[4] = {}, out[4];
            unit[j] = 1.0;
            quadrupleStep(unit, out);
            for (int r = 0; r < 4; ++r) forward4[r][j] = out[r];
        }
        for (int j = 0; j < 2; ++j) {
            // Mirrored ends: a[-2] = a[0], a[-1] = a[1] on the left (only
            // x[0], x[1] are kept); a[n] = a[n-2], a[n+1] = a[n-1] on the right
            // (only x[n-2], x[n-1] are kept).
            double pair[2] = {}, out[4];
            pair[j] = 1.0;
            const double mirrored[4] = {pair[0], pair[1], pair[0], pair[1]};
            quadrupleStep(mirrored, out);
            left[0][j] = out[2];
            left[1][j] = out[3];
            right[0][j] = out[0];
            right[1][j] = out[1];
        }
        invert(forward8, group);
        invert(forward4, interior);
        invert(left, leftEnd);
        invert(right, rightEnd);
    }
};

const LineInverses& lineInverses() {
    static const LineInverses inverses;
    return inverses;
}

template <int N>
void apply(const double (&m)[N][N], const double* in, double* out) {
    for (int r = 0; r < N; ++r) {
        double sum = 0.0;
        for (int c = 0; c < N; ++c) sum += m[r][c] * in[c];
        out[r] = sum;
    }
}

void checkLength(int n) {
    if (n < 8 || n % 8 != 0) throw std::invalid_argument("line length must be a positive multiple of 8");
}

}  // namespace

void synthesizeLineExact(double* line, int n) {
    checkLength(n);
    std::vector<double> a(size_t(n) + 4);
    double* ap = a.data() + 2;
    for (int g = 0; g < n; g += 8) groupStep(line + g, ap + g);
    ap[-2] = ap[0];
    ap[-1] = ap[1];
    ap[n] = ap[n - 2];
    ap[n + 1] = ap[n - 1];
    for (int k = 0; k <= n; k += 4) {
        double out[4];
        quadrupleStep(ap + k - 2, out);
        for (int i = 0; i < 4; ++i) {
            const int position = k - 2 + i;
            if (position >= 0 && position < n) line[position] = out[i];
        }
    }
}

void analyzeLine(double* line, int n) {
    checkLength(n);
    const LineInverses& inv = lineInverses();
    std::vector<double> a(static_cast<size_t>(n));
    apply(inv.leftEnd, line, a.data());
    for (int k = 4; k < n; k += 4) apply(inv.interior, line + k - 2, a.data() + k - 2);
    apply(inv.rightEnd, line + n - 2, a.data() + n - 2);
    for (int g = 0; g < n; g += 8) apply(inv.group, a.data() + g, line + g);
}

void forwardDct8(double* values, int stride) {
    static const struct Basis {
        double m[8][8];
        Basis() {
            const double pi = std::acos(-1.0);
            for (int k = 0; k < 8; ++k) {
                const double scale = k == 0 ? std::sqrt(1.0 / 8.0) : 0.5;
                for (int n = 0; n < 8; ++n) m[k][n] = scale * std::cos((2 * n + 1) * k * pi / 16.0);
            }
        }
    } basis;
    double in[8], out[8];
    for (int i = 0; i < 8; ++i) in[i] = values[i * stride];
    apply(basis.m, in, out);
    for (int i = 0; i < 8; ++i) values[i * stride] = out[i];
}

void analyzePlane(std::vector<double>& plane, int width, int height) {
    if (width % 64 || height % 64 || width <= 0 || height <= 0 || plane.size() != size_t(width) * size_t(height))
        throw std::invalid_argument("plane size must be a multiple of 64");
    for (int y = 0; y < height; ++y) analyzeLine(&plane[size_t(y) * width], width);
    std::vector<double> column(static_cast<size_t>(height));
    for (int x = 0; x < width; ++x) {
        for (int y = 0; y < height; ++y) column[y] = plane[size_t(y) * width + x];
        analyzeLine(column.data(), height);
        for (int y = 0; y < height; ++y) plane[size_t(y) * width + x] = column[y];
    }
    // The decoder doubles each second-level coefficient before its inverse
    // DCT, so the forward DCT result is halved.
    const size_t blockStride = size_t(8) * width;  // one block row down
    for (int ry = 0; ry < height / 64; ++ry) {
        for (int rx = 0; rx < width / 64; ++rx) {
            double* origin = &plane[size_t(64) * ry * width + size_t(64) * rx];
            for (int c = 0; c < 8; ++c) forwardDct8(origin + 8 * c, int(blockStride));
            for (int r = 0; r < 8; ++r) forwardDct8(origin + r * blockStride, 8);
            for (int r = 0; r < 8; ++r)
                for (int c = 0; c < 8; ++c) origin[r * blockStride + 8 * c] *= 0.5;
        }
    }
}

}  // namespace encoder
