// Printing on Linux: a printer device is a cairo PostScript surface, or a PDF one when the output
// name ends in ".pdf", at 600 dots per inch, writing the document to the descriptor the toolkit
// opened for it. Where the document goes (a file put in place once whole, a pipe, a queue) is the
// toolkit's business; here every write is checked, so a full disk is seen as it happens. Both
// backends print through this file.
#include "hostdraw.h"

#include <cairo-pdf.h>
#include <cairo-ps.h>
#include <cairo-svg.h>

#include <strings.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <unistd.h>

namespace {

constexpr int kPrinterDpi = 600;

// The one printer device there can be: the toolkit runs one job at a time.
struct Printer {
    HostDevice *device;
    cairo_surface_t *surface;
    std::string name; // the output's name, for messages
    int fd;           // where the document goes (the toolkit's)
    int writeError;   // errno of the first failed write, 0 while none failed
};
Printer gPrinter = {nullptr, nullptr, "", -1, 0};
std::string gFailure; // why the last printer call failed

bool EndsWith(const char *text, const char *tail) {
    size_t n = strlen(text), t = strlen(tail);
    return n >= t && strcasecmp(text + n - t, tail) == 0;
}

// The paper setting a paper name stands for: Letter, Legal, or A4 for every other name.
int PaperNamed(const char *name) {
    size_t n = strcspn(name, " \t\r\n");
    if (n == 6 && strncasecmp(name, "letter", n) == 0)
        return 1;
    if (n == 5 && strncasecmp(name, "legal", n) == 0)
        return 3;
    return 2;
}

// The system's paper, as libpaper finds it: $PAPERSIZE names it, else the first line that is
// no comment of $PAPERCONF or /etc/papersize; A4 when none says.
int SystemPaper(void) {
    const char *size = getenv("PAPERSIZE");
    if (size && *size)
        return PaperNamed(size);
    const char *conf = getenv("PAPERCONF");
    int paper = 2;
    if (FILE *f = fopen(conf && *conf ? conf : "/etc/papersize", "r")) {
        char line[64];
        while (fgets(line, sizeof line, f)) {
            const char *name = line + strspn(line, " \t");
            if (*name != '#' && *name != '\n' && *name != '\0') {
                paper = PaperNamed(name);
                break;
            }
        }
        fclose(f);
    }
    return paper;
}

// The page in points for the paper setting: 1 Letter, 2 A4, 3 Legal, 0 the system's.
void PaperSize(int paper, double *width, double *height) {
    if (paper < 1 || paper > 3)
        paper = SystemPaper();
    *width = paper == 2 ? 595.2756 : 612.0;
    *height = paper == 1 ? 792.0 : paper == 3 ? 1008.0 : 841.8898;
}

// cairo writes the document through here. A reader of a pipe that goes away is a failed write,
// as a full disk is, not the end of the program.
cairo_status_t WriteOut(void *, const unsigned char *data, unsigned int length) {
    if (gPrinter.fd < 0 || gPrinter.writeError)
        return CAIRO_STATUS_WRITE_ERROR;
    struct sigaction ignore = {}, old;
    ignore.sa_handler = SIG_IGN;
    bool quiet = sigaction(SIGPIPE, &ignore, &old) == 0;
    while (length > 0) {
        ssize_t n = write(gPrinter.fd, data, length);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            gPrinter.writeError = n < 0 ? errno : EIO;
            break;
        }
        data += n;
        length -= (unsigned int)n;
    }
    if (quiet)
        sigaction(SIGPIPE, &old, nullptr);
    return gPrinter.writeError ? CAIRO_STATUS_WRITE_ERROR : CAIRO_STATUS_SUCCESS;
}

void Forget(void) {
    if (gPrinter.surface)
        cairo_surface_destroy(gPrinter.surface);
    gPrinter = Printer{nullptr, nullptr, "", -1, 0};
}

} // namespace

HostDevice *HostCreatePrinter(const HostPrinterRequest *request) {
    if (!request || gPrinter.device) {
        gFailure = "The printer is busy";
        return nullptr;
    }
    if (request->fd < 0 || !request->name) {
        gFailure = "No output file";
        return nullptr;
    }
    gFailure.clear();
    gPrinter.name = request->name;
    gPrinter.fd = request->fd;
    double width, height;
    PaperSize(request->paper, &width, &height);
    gPrinter.surface = EndsWith(request->name, ".pdf")
                           ? cairo_pdf_surface_create_for_stream(WriteOut, nullptr, width, height)
                           : cairo_ps_surface_create_for_stream(WriteOut, nullptr, width, height);
    if (cairo_surface_status(gPrinter.surface) != CAIRO_STATUS_SUCCESS) {
        gFailure = "Cannot write " + gPrinter.name;
        Forget();
        return nullptr;
    }
    cairo_t *cr = cairo_create(gPrinter.surface);
    cairo_scale(cr, 72.0 / kPrinterDpi, 72.0 / kPrinterDpi);
    int bits = request->bitsPerPixel == 1 ? 1 : 24;
    gPrinter.device =
        HostDeviceCreate(cr, nullptr, (int)(width * kPrinterDpi / 72),
                         (int)(height * kPrinterDpi / 72), kPrinterDpi, kPrinterDpi, bits, 0);
    if (!gPrinter.device) {
        gFailure = "Out of memory for " + gPrinter.name;
        Forget();
        return nullptr;
    }
    return gPrinter.device;
}

int HostPrinterStartDoc(HostDevice *printer, const char *) {
    return printer && printer == gPrinter.device ? 0 : 1;
}

int HostPrinterStartPage(HostDevice *printer) {
    return printer && printer == gPrinter.device ? 0 : 1;
}

int HostPrinterEndPage(HostDevice *printer) {
    if (!printer || printer != gPrinter.device)
        return 1;
    cairo_show_page(printer->cr);
    return cairo_status(printer->cr) == CAIRO_STATUS_SUCCESS ? 0 : 1;
}

// Finishes the document on its descriptor. 0, or 1 with the reason in HostPrinterFailure.
int HostPrinterEndDoc(HostDevice *printer) {
    if (!printer || printer != gPrinter.device || !gPrinter.surface)
        return 1;
    cairo_surface_finish(gPrinter.surface);
    cairo_status_t status = cairo_surface_status(gPrinter.surface);
    if (gPrinter.writeError) {
        gFailure = "Cannot write " + gPrinter.name + ": " + strerror(gPrinter.writeError);
        return 1;
    }
    if (status != CAIRO_STATUS_SUCCESS) {
        gFailure = "Cannot write " + gPrinter.name + ": " + cairo_status_to_string(status);
        return 1;
    }
    return 0;
}

void HostDeletePrinter(HostDevice *printer) {
    if (!printer || printer != gPrinter.device)
        return;
    HostDeviceDestroy(printer);
    gPrinter.device = nullptr;
    Forget();
}

const char *HostPrinterFailure(void) {
    return gFailure.empty() ? "Printer failed" : gFailure.c_str();
}

// ---- pictures -------------------------------------------------------------------------------

namespace {

// The one picture there can be, like the printer.
struct Picture {
    HostDevice *device;
    cairo_surface_t *surface;
    std::string file;
    int kind;
};
Picture gPicture;

} // namespace

HostDevice *HostCreatePicture(const char *file, int kind, int width, int height, int dpi) {
    if (gPicture.device || !file || !*file || width < 1 || height < 1 || dpi < 1 ||
        (kind != kHostPicturePng && kind != kHostPictureSvg)) {
        gFailure = gPicture.device ? "The picture is busy" : "No picture to make";
        return nullptr;
    }
    const double points = 72.0 / dpi;
    cairo_surface_t *surface =
        kind == kHostPicturePng ? cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height)
                                : cairo_svg_surface_create(file, width * points, height * points);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        gFailure = std::string("Cannot write ") + file + ": " +
                   cairo_status_to_string(cairo_surface_status(surface));
        cairo_surface_destroy(surface);
        return nullptr;
    }
    cairo_t *cr = cairo_create(surface);
    if (kind == kHostPictureSvg)
        cairo_scale(cr, points, points); // the device draws in pixels, the file is in points
    HostDevice *device = HostDeviceCreate(cr, nullptr, width, height, dpi, dpi, 24, 0);
    if (!device) {
        cairo_surface_destroy(surface);
        gFailure = "Out of memory";
        return nullptr;
    }
    if (kind == kHostPictureSvg)
        device->textLayer = new (std::nothrow) std::string;
    gFailure.clear();
    gPicture = {device, surface, file, kind};
    return device;
}

void HostNoteText(HostDevice *device, double x, double y, double size, const char *text,
                  int length) {
    const double points = 72.0 / (device->dpiX > 0 ? device->dpiX : 96);
    char head[160];
    snprintf(head, sizeof head, "<text x=\"%.2f\" y=\"%.2f\" font-size=\"%.2f\">", x * points,
             y * points, size * points);
    std::string &layer = *device->textLayer;
    layer += head;
    for (int i = 0; i < length; i++) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        switch (c) {
        case '&':
            layer += "&amp;";
            break;
        case '<':
            layer += "&lt;";
            break;
        case '>':
            layer += "&gt;";
            break;
        default:
            if (c >= 0x20 && c < 0x7F) {
                layer += static_cast<char>(c);
            } else if (c >= 0xA0) { // Latin-1 as the character it is
                char ref[16];
                snprintf(ref, sizeof ref, "&#%u;", c);
                layer += ref;
            }
        }
    }
    layer += "</text>\n";
}

namespace {

// Puts the text layer into the SVG file cairo wrote, before its end, as a group that is not
// painted (the glyphs are): replaced in one step, so a failure leaves cairo's file whole.
bool AddTextLayer(const std::string &file, const std::string &layer) {
    FILE *in = fopen(file.c_str(), "rb");
    if (!in)
        return false;
    std::string svg;
    char chunk[65536];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, in)) > 0)
        svg.append(chunk, n);
    fclose(in);
    const size_t end = svg.rfind("</svg>");
    if (end == std::string::npos)
        return false;
    svg.insert(end, "<g fill-opacity=\"0\" font-family=\"sans-serif\">\n" + layer + "</g>\n");
    const std::string temporary = file + ".text";
    FILE *out = fopen(temporary.c_str(), "wb");
    if (!out)
        return false;
    const bool written = fwrite(svg.data(), 1, svg.size(), out) == svg.size();
    if (fclose(out) != 0 || !written || rename(temporary.c_str(), file.c_str()) != 0) {
        remove(temporary.c_str());
        return false;
    }
    return true;
}

} // namespace

int HostFinishPicture(HostDevice *picture) {
    if (!picture || picture != gPicture.device)
        return 1;
    std::string *layer = picture->textLayer;
    picture->textLayer = nullptr;
    HostDeviceDestroy(picture);
    cairo_surface_t *surface = gPicture.surface;
    cairo_status_t status = gPicture.kind == kHostPicturePng
                                ? cairo_surface_write_to_png(surface, gPicture.file.c_str())
                                : (cairo_surface_finish(surface), cairo_surface_status(surface));
    if (status != CAIRO_STATUS_SUCCESS)
        gFailure = "Cannot write " + gPicture.file + ": " + cairo_status_to_string(status);
    cairo_surface_destroy(surface);
    bool failed = status != CAIRO_STATUS_SUCCESS;
    if (!failed && layer && !layer->empty() && !AddTextLayer(gPicture.file, *layer)) {
        gFailure = "Cannot write " + gPicture.file + ": " + strerror(errno);
        failed = true;
    }
    delete layer;
    gPicture = {};
    return failed ? 1 : 0;
}
