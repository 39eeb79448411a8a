// Fontspec texts: ParseFontSpec and the host font request made from it at several
// resolutions. Whatever the text, the request stays in range: a given height becomes 1..1000
// pixels (numbers accumulate in 64 bits and saturate), weight and slant are the two values
// allowed, the face is at most 256 characters and is text that stood after a "face:" in the
// input; parsing the same text twice gives the same result.
#include "fonts.h"
#include "host.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string text(reinterpret_cast<const char *>(data), size);
    text = text.c_str(); // up to the first NUL, as a C text
    FontSpec spec, again;
    int result = ParseFontSpec(text.c_str(), &spec);
    if (ParseFontSpec(text.c_str(), &again) != result || memcmp(&spec, &again, sizeof spec) != 0)
        abort();
    size_t faceLength = strlen(spec.face);
    if (faceLength > (size_t)kFontFaceLimit)
        abort();
    if (spec.hasFace && faceLength > 0 &&
        text.find("face:" + std::string(spec.face)) == std::string::npos)
        abort();
    for (int dpi : {72, 96, 192, 600, 100000}) {
        HostFontRequest r;
        FontRequestFor(&spec, dpi, &r);
        if (spec.hasHeight ? (r.height < 1 || r.height > kFontMaxPixels) : r.height != 0)
            abort();
        if ((r.weight != 400 && r.weight != 700) || (r.italic != 0 && r.italic != 1))
            abort();
        if (r.family != kHostFamilyDontCare && r.family != kHostFamilyRoman &&
            r.family != kHostFamilySwiss)
            abort();
        if ((r.face != nullptr) != spec.hasFace)
            abort();
    }
    return 0;
}
