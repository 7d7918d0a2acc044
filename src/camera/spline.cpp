// spline.cpp -- camera splines: key point files, curve building and
// evaluation, and the table of 1000 splines; see spline.h.
//
// Numbers are read with std::from_chars, so a key point file means the same
// whatever C locale the process runs in.
#include "camera/spline.h"

#include <cctype>
#include <charconv>
#include <cstdio>
#include <new>

#include "util/output.h"

namespace {
constexpr int maxTokenLength = 255;

Cspline* splines[splineSlotCount] = {};
int splineCount = 0;  // slots handed out so far, failed loads included

// Reads the next white-space separated token into text (at most 255
// characters; the rest of a longer token is skipped). False at end of file.
bool readToken(FILE* file, char (&text)[maxTokenLength + 1]) {
    int ch = getc(file);
    while (ch != EOF && std::isspace(static_cast<unsigned char>(ch))) ch = getc(file);
    if (ch == EOF) return false;
    int length = 0;
    while (ch != EOF && !std::isspace(static_cast<unsigned char>(ch))) {
        if (length < maxTokenLength) text[length++] = static_cast<char>(ch);
        ch = getc(file);
    }
    text[length] = '\0';
    return true;
}

// The leading decimal number of a token; 0 when it does not start with one
// (or its value is out of range for a float).
float tokenValue(const char* text) {
    const char* first = text;
    if (*first == '+') ++first;
    const char* last = first;
    while (*last) ++last;
    float value = 0.0f;
    std::from_chars_result result = std::from_chars(first, last, value);
    if (result.ec != std::errc()) return 0.0f;
    return value;
}

void releaseSpline(Cspline* spline) {
    if (!spline) return;
    delete[] spline->xCoefficients;
    delete[] spline->yCoefficients;
    delete[] spline->zCoefficients;
    delete spline;
}

// Power-form coefficients of one axis. axis selects x, y or z in the
// interleaved key points; out gets count * 4 floats.
void buildAxis(const float* points, int count, int axis, float tension, float bias, float continuity,
               float* out) {
    auto key = [&](int i) { return points[3 * i + axis]; };
    for (int i = 0; i < count; ++i) {
        float here = key(i);
        float prev = key(i > 0 ? i - 1 : 0);
        float next = key(i < count - 1 ? i + 1 : count - 1);
        float incoming = (1.0f + bias) * (here - prev);
        float outgoing = (1.0f - bias) * (next - here);
        float tangent = (1.0f - tension) * 0.5f * (incoming + outgoing);
        float* segment = out + 4 * i;
        segment[0] = here;                           // p0 for now
        segment[1] = tangent * (1.0f + continuity);  // d0
        segment[2] = next;                           // p1 for now
        // The end tangent of the previous segment; the last segment's end
        // tangent is 0 (set below), so the curve comes to rest on the last
        // key point instead of running on with an open end.
        if (i > 0) out[4 * (i - 1) + 3] = tangent * (1.0f - continuity);
        segment[3] = 0.0f;                           // d1
    }
    for (int i = 0; i < count; ++i) {
        float* segment = out + 4 * i;
        float p0 = segment[0], d0 = segment[1], p1 = segment[2], d1 = segment[3];
        segment[0] = p0;
        segment[1] = d0;
        segment[2] = -3.0f * p0 + 3.0f * p1 - 2.0f * d0 - d1;
        segment[3] = 2.0f * p0 - 2.0f * p1 + d0 + d1;
    }
}
}  // namespace

float* loadKeyPoints(const char* fileName, int& count) {
    count = 0;
    if (!fileName) return nullptr;
    FILE* file = fopen(fileName, "r");
    if (!file) return nullptr;
    char token[maxTokenLength + 1];
    long tokens = 0;
    while (readToken(file, token)) ++tokens;
    long keys = tokens / 3;
    if (keys > 0x7FFFFFFF / 3) keys = 0x7FFFFFFF / 3;
    int values = static_cast<int>(keys * 3);
    // Zeroed, so a file that shrinks between the two passes leaves zeros.
    float* points = new (std::nothrow) float[values > 0 ? values : 1]();
    if (!points) {
        fclose(file);
        return nullptr;
    }
    rewind(file);
    for (int i = 0; i < values && readToken(file, token); ++i) points[i] = tokenValue(token);
    fclose(file);
    count = static_cast<int>(keys);
    return points;
}

Cspline* buildSpline(const float* points, int count, float duration, float tension, float bias,
                     float continuity) {
    if (count < 0) count = 0;
    Cspline* spline = new (std::nothrow) Cspline;
    if (!spline) return nullptr;
    size_t values = static_cast<size_t>(count) * 4;
    spline->xCoefficients = new (std::nothrow) float[values > 0 ? values : 1]();
    spline->yCoefficients = new (std::nothrow) float[values > 0 ? values : 1]();
    spline->zCoefficients = new (std::nothrow) float[values > 0 ? values : 1]();
    if (!spline->xCoefficients || !spline->yCoefficients || !spline->zCoefficients) {
        releaseSpline(spline);
        return nullptr;
    }
    if (count > 0) {
        buildAxis(points, count, 0, tension, bias, continuity, spline->xCoefficients);
        buildAxis(points, count, 1, tension, bias, continuity, spline->yCoefficients);
        buildAxis(points, count, 2, tension, bias, continuity, spline->zCoefficients);
    }
    spline->keyCount = count;
    spline->duration = duration;
    return spline;
}

void evaluateSpline(const Cspline* spline, float t, float& x, float& y, float& z) {
    x = y = z = 0.0f;
    // No spline or no key points: the origin.
    if (!spline || spline->keyCount <= 0) return;
    int n = spline->keyCount;
    int i = n - 1;
    float f = 1.0f;
    // A duration of 0 or less has run its full length at once: the last key
    // point. Otherwise key point k is reached at k * duration / n; a time
    // below 0 counts as 0, and from duration on the last key point holds.
    if (spline->duration > 0.0f) {
        if (!(t >= 0.0f)) t = 0.0f;
        float u = static_cast<float>(n) / spline->duration * t;
        if (u < static_cast<float>(n)) {
            i = static_cast<int>(u);
            f = u - static_cast<float>(i);
            if (i > n - 1) {  // u rounds up to n within single precision
                i = n - 1;
                f = 1.0f;
            }
        }
    }
    float f2 = f * f;
    float f3 = f2 * f;
    const float* a = spline->xCoefficients + 4 * i;
    x = a[0] + a[1] * f + a[2] * f2 + a[3] * f3;
    a = spline->yCoefficients + 4 * i;
    y = a[0] + a[1] * f + a[2] * f2 + a[3] * f3;
    a = spline->zCoefficients + 4 * i;
    z = a[0] + a[1] * f + a[2] * f2 + a[3] * f3;
}

int loadSplineSlot(const char* fileName, int duration) {
    if (splineCount >= splineSlotCount) {
        outputPrintf("loadSpline: cannot load %s: all %d spline slots are taken\n", fileName ? fileName : "",
                     splineSlotCount);
        return -1;
    }
    int index = splineCount++;
    int count = 0;
    float* points = loadKeyPoints(fileName, count);
    if (!points) {
        outputPrintf("loadSpline: could not read key points from %s\n", fileName ? fileName : "");
        return index;
    }
    Cspline* spline = buildSpline(points, count, static_cast<float>(duration), 0.0f, 0.0f, 0.0f);
    delete[] points;
    if (!spline) outputPrintf("loadSpline: out of memory for the spline of %s\n", fileName);
    splines[index] = spline;
    return index;
}

void interpolateSplineSlot(int index, float t, float& x, float& y, float& z) {
    const Cspline* spline = index >= 0 && index < splineSlotCount ? splines[index] : nullptr;
    evaluateSpline(spline, t, x, y, z);
}

void resetSplineTable() {
    for (Cspline*& spline : splines) {
        releaseSpline(spline);
        spline = nullptr;
    }
    splineCount = 0;
}
