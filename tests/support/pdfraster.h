// A printed page read back as a person sees it: the first page of a PDF drawn by poppler's
// pdftoppm into RGB pixels, and the words pdftotext finds on it with their boxes (in points, so
// a page drawn at 72 dots per inch has them in pixels). For the print tests.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace pdfraster {

struct Raster {
    int width = 0, height = 0;
    std::string rgb; // width * height triples, row by row
    int Red(int x, int y) const { return (unsigned char)rgb[((size_t)y * width + x) * 3]; }
    int Green(int x, int y) const { return (unsigned char)rgb[((size_t)y * width + x) * 3 + 1]; }
    int Blue(int x, int y) const { return (unsigned char)rgb[((size_t)y * width + x) * 3 + 2]; }
    bool Dark(int x, int y) const { return Red(x, y) + Green(x, y) + Blue(x, y) < 3 * 160; }
};

// The first page of `pdf` at `dpi`, through the file prefix + ".ppm"; empty when it cannot be
// drawn.
inline Raster Rasterize(const std::string &pdf, int dpi, const std::string &prefix) {
    Raster r;
    std::string command = "pdftoppm -r " + std::to_string(dpi) + " -f 1 -l 1 -singlefile '" + pdf +
                          "' '" + prefix + "' 2>/dev/null";
    if (system(command.c_str()) != 0)
        return r;
    std::ifstream in(prefix + ".ppm", std::ios::binary);
    std::string magic;
    int most = 0;
    in >> magic >> r.width >> r.height >> most;
    in.get();
    if (magic != "P6" || most != 255 || r.width <= 0 || r.height <= 0)
        return Raster{};
    r.rgb.resize((size_t)r.width * (size_t)r.height * 3);
    in.read(r.rgb.data(), (std::streamsize)r.rgb.size());
    return r;
}

// Pixels whose components differ by more than the smoothing of an edge leaves: colour.
inline int ColouredPixels(const Raster &r) {
    int n = 0;
    for (int y = 0; y < r.height; y++)
        for (int x = 0; x < r.width; x++) {
            int lo = r.Red(x, y), hi = lo;
            for (int c : {r.Green(x, y), r.Blue(x, y)}) {
                lo = c < lo ? c : lo;
                hi = c > hi ? c : hi;
            }
            n += hi - lo > 24;
        }
    return n;
}

struct Word {
    double xMin, yMin, xMax, yMax; // points from the page's top left
    std::string text;
};

// The words of the PDF's first page with their boxes.
inline std::vector<Word> Words(const std::string &pdf) {
    std::vector<Word> words;
    std::string command = "pdftotext -f 1 -l 1 -bbox '" + pdf + "' - 2>/dev/null";
    FILE *p = popen(command.c_str(), "r");
    if (!p)
        return words;
    std::string all;
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, p)) > 0;)
        all.append(buffer, n);
    pclose(p);
    for (size_t at = all.find("<word "); at != std::string::npos; at = all.find("<word ", at + 1)) {
        Word w = {};
        if (sscanf(all.c_str() + at, "<word xMin=\"%lf\" yMin=\"%lf\" xMax=\"%lf\" yMax=\"%lf\">",
                   &w.xMin, &w.yMin, &w.xMax, &w.yMax) != 4)
            continue;
        size_t open = all.find('>', at), close = all.find("</word>", at);
        if (open == std::string::npos || close == std::string::npos || close < open)
            continue;
        w.text = all.substr(open + 1, close - open - 1);
        words.push_back(w);
    }
    return words;
}

} // namespace pdfraster
