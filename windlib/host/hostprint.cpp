// Printing on Linux: a printer device is a cairo PostScript surface, or a PDF one when the output
// name ends in ".pdf", at 600 dots per inch. The pages go to a temporary file beside the output
// and replace it only once the surface finished cleanly, so a full disk or a failing job never
// leaves half a document under the user's name. Both backends print through this file.
#include "hostdraw.h"

#include <cairo-pdf.h>
#include <cairo-ps.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kPrinterDpi = 600;

// The one printer device there can be: the toolkit runs one job at a time.
struct Printer {
    HostDevice *device;
    cairo_surface_t *surface;
    std::string path; // where the document goes
    std::string temp; // where it is written until it is whole
};
Printer gPrinter;
std::string gFailure; // why the last printer call failed

bool EndsWith(const char *text, const char *tail) {
    size_t n = strlen(text), t = strlen(tail);
    return n >= t && strcasecmp(text + n - t, tail) == 0;
}

// The page in points for the paper setting; 0 asks /etc/papersize, A4 when it says nothing known.
void PaperSize(int paper, double *width, double *height) {
    if (paper == 0) {
        char name[32] = "";
        if (FILE *f = fopen("/etc/papersize", "r")) {
            while (fgets(name, sizeof name, f))
                if (name[0] != '#' && name[0] != '\n')
                    break;
            fclose(f);
        }
        name[strcspn(name, " \t\r\n")] = '\0';
        paper = strcasecmp(name, "letter") == 0 ? 1 : strcasecmp(name, "legal") == 0 ? 3 : 2;
    }
    *width = paper == 2 ? 595.2756 : 612.0;
    *height = paper == 1 ? 792.0 : paper == 3 ? 1008.0 : 841.8898;
}

void Fail(const char *what, const std::string &path, int error) {
    gFailure = std::string(what) + " " + path + (error ? std::string(": ") + strerror(error) : "");
}

void Forget(bool keepFailure) {
    if (gPrinter.surface)
        cairo_surface_destroy(gPrinter.surface);
    if (!gPrinter.temp.empty())
        unlink(gPrinter.temp.c_str());
    gPrinter = Printer{};
    if (!keepFailure)
        gFailure.clear();
}

} // namespace

HostDevice *HostCreatePrinter(const HostPrinterRequest *request) {
    if (!request || !request->name || !*request->name || gPrinter.device) {
        gFailure = "No output file";
        return nullptr;
    }
    gFailure.clear();
    // A relative name is taken in the home directory: the program's working directory is
    // wherever it was started from, which the user does not see.
    std::string path = request->name;
    if (path[0] != '/') {
        const char *home = getenv("HOME");
        path = std::string(home && *home ? home : "/") + "/" + path;
    }
    if (path.size() >= PATH_MAX) {
        Fail("Name too long:", path.substr(0, 64) + "...", 0);
        return nullptr;
    }
    size_t slash = path.rfind('/');
    std::string temp = path.substr(0, slash + 1) + ".torva-print-XXXXXX";
    std::vector<char> name(temp.begin(), temp.end());
    name.push_back('\0');
    int fd = mkstemp(name.data());
    if (fd < 0) {
        Fail("Cannot write", path, errno);
        return nullptr;
    }
    // mkstemp's private mode would pass to the document: give it what a new file gets.
    mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    close(fd);
    gPrinter.temp = name.data();
    gPrinter.path = path;

    double width, height;
    PaperSize(request->paper, &width, &height);
    gPrinter.surface = EndsWith(path.c_str(), ".pdf")
                           ? cairo_pdf_surface_create(gPrinter.temp.c_str(), width, height)
                           : cairo_ps_surface_create(gPrinter.temp.c_str(), width, height);
    if (cairo_surface_status(gPrinter.surface) != CAIRO_STATUS_SUCCESS) {
        Fail("Cannot write", path, 0);
        Forget(true);
        return nullptr;
    }
    cairo_t *cr = cairo_create(gPrinter.surface);
    cairo_scale(cr, 72.0 / kPrinterDpi, 72.0 / kPrinterDpi);
    int bits = request->bitsPerPixel == 1 ? 1 : 24;
    gPrinter.device =
        HostDeviceCreate(cr, nullptr, (int)(width * kPrinterDpi / 72),
                         (int)(height * kPrinterDpi / 72), kPrinterDpi, kPrinterDpi, bits, 0);
    if (!gPrinter.device) {
        Fail("Out of memory for", path, 0);
        Forget(true);
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

// Finishes the document and puts it in place. 0, or 1 with the reason in HostPrinterFailure.
int HostPrinterEndDoc(HostDevice *printer) {
    if (!printer || printer != gPrinter.device || !gPrinter.surface)
        return 1;
    cairo_surface_finish(gPrinter.surface);
    cairo_status_t status = cairo_surface_status(gPrinter.surface);
    if (status != CAIRO_STATUS_SUCCESS) {
        gFailure = "Cannot write " + gPrinter.path + ": " + cairo_status_to_string(status);
        return 1;
    }
    if (rename(gPrinter.temp.c_str(), gPrinter.path.c_str()) != 0) {
        Fail("Cannot write", gPrinter.path, errno);
        return 1;
    }
    gPrinter.temp.clear(); // in place: nothing to remove any more
    return 0;
}

void HostDeletePrinter(HostDevice *printer) {
    if (!printer || printer != gPrinter.device)
        return;
    HostDeviceDestroy(printer);
    gPrinter.device = nullptr;
    Forget(true);
}

const char *HostPrinterFailure(void) {
    return gFailure.empty() ? "Printer failed" : gFailure.c_str();
}
