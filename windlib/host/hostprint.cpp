// Printing on Linux: a printer device is a cairo PostScript surface, or a PDF one when the output
// name ends in ".pdf", at 600 dots per inch. The pages go to a temporary file beside the output
// and replace it only once the surface finished cleanly, so a full disk or a failing job never
// leaves half a document under the user's name. Both backends print through this file.
#include "hostdraw.h"

#include <cairo-pdf.h>
#include <cairo-ps.h>
#include <cairo-svg.h>

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <strings.h>
#include <sys/wait.h>
#include <time.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <new>
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
    std::string queue, title;
    int copies;
    FILE *out;      // the temporary file, written by cairo through WriteOut
    int writeError; // errno of the first failed write, 0 while none failed
};
Printer gPrinter;
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

void Fail(const char *what, const std::string &path, int error) {
    gFailure = std::string(what) + " " + path + (error ? std::string(": ") + strerror(error) : "");
}

// cairo writes the document through here, so a full disk is seen, not only at the end.
cairo_status_t WriteOut(void *, const unsigned char *data, unsigned int length) {
    if (!gPrinter.out || gPrinter.writeError)
        return CAIRO_STATUS_WRITE_ERROR;
    if (fwrite(data, 1, length, gPrinter.out) != length) {
        gPrinter.writeError = errno ? errno : EIO;
        return CAIRO_STATUS_WRITE_ERROR;
    }
    return CAIRO_STATUS_SUCCESS;
}

// Flushes the document to the disk and closes it. 0, or the errno of the failure.
int CloseOut(void) {
    if (!gPrinter.out)
        return gPrinter.writeError ? gPrinter.writeError : EIO;
    int error = gPrinter.writeError;
    if (!error && (fflush(gPrinter.out) != 0 || fsync(fileno(gPrinter.out)) != 0))
        error = errno;
    if (fclose(gPrinter.out) != 0 && !error)
        error = errno;
    gPrinter.out = nullptr;
    return error;
}

void Forget(bool keepFailure) {
    if (gPrinter.surface)
        cairo_surface_destroy(gPrinter.surface);
    if (gPrinter.out)
        fclose(gPrinter.out);
    if (!gPrinter.temp.empty())
        unlink(gPrinter.temp.c_str());
    gPrinter = Printer{};
    if (!keepFailure)
        gFailure.clear();
}

extern "C" char **environ;

// Runs argv (found on PATH, no shell) in the C locale, collecting its standard output (and its
// errors too with `withErrors`) for at most `seconds`: a hung print server must not freeze the
// window. The exit status, or -1 when it could not run or was killed for taking too long.
int RunCommand(const char *const argv[], std::string *out, int seconds, bool withErrors = false) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return -1;
    std::vector<std::string> env;
    for (char **e = environ; e && *e; e++)
        if (strncmp(*e, "LC_ALL=", 7) != 0)
            env.push_back(*e);
    env.push_back("LC_ALL=C");
    std::vector<char *> envp;
    for (std::string &e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    if (withErrors)
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 2);
    else
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    // Nothing to read, and none of our descriptors (the display's connection among them).
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
#endif
    pid_t pid;
    int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, (char *const *)argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    if (spawned != 0) {
        close(pipeFds[0]);
        return -1;
    }
    timespec start;
    clock_gettime(CLOCK_MONOTONIC, &start);
    bool late = false;
    for (;;) {
        timespec now;
        clock_gettime(CLOCK_MONOTONIC, &now);
        long left = seconds * 1000L - ((now.tv_sec - start.tv_sec) * 1000L +
                                       (now.tv_nsec - start.tv_nsec) / 1000000L);
        if (left <= 0) {
            late = true;
            break;
        }
        pollfd p = {pipeFds[0], POLLIN, 0};
        if (poll(&p, 1, (int)left) <= 0)
            continue;
        char buffer[4096];
        ssize_t n = read(pipeFds[0], buffer, sizeof buffer);
        if (n <= 0)
            break;
        if (out && out->size() < (1u << 20))
            out->append(buffer, (size_t)n);
    }
    close(pipeFds[0]);
    if (late)
        kill(pid, SIGKILL);
    int status = 0;
    pid_t waited;
    while ((waited = waitpid(pid, &status, 0)) < 0 && errno == EINTR) {
    }
    // No status to be had (children reaped elsewhere) is no success.
    if (late || waited != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

} // namespace

int HostEnumPrinters(void (*each)(const char *name, void *context), void *context) {
    std::string queues, fallback;
    const char *listing[] = {"lpstat", "-e", nullptr};
    if (RunCommand(listing, &queues, 2) != 0)
        return 1;
    const char *asked[] = {"lpstat", "-d", nullptr};
    RunCommand(asked, &fallback, 2);
    // "system default destination: NAME"
    std::string first;
    size_t colon = fallback.find(':');
    if (fallback.rfind("system default destination", 0) == 0 && colon != std::string::npos) {
        first = fallback.substr(colon + 1);
        first.erase(0, first.find_first_not_of(" \t"));
        first.erase(first.find_last_not_of(" \t\r\n") + 1);
    }
    std::vector<std::string> names;
    size_t at = 0;
    while (at < queues.size()) {
        size_t end = queues.find('\n', at);
        std::string name =
            queues.substr(at, end == std::string::npos ? std::string::npos : end - at);
        at = end == std::string::npos ? queues.size() : end + 1;
        name.erase(name.find_last_not_of(" \t\r") + 1);
        if (!name.empty() && name != first)
            names.push_back(name);
    }
    if (!first.empty())
        names.insert(names.begin(), first);
    for (const std::string &name : names)
        each(name.c_str(), context);
    return 0;
}

HostDevice *HostCreatePrinter(const HostPrinterRequest *request) {
    if (!request || gPrinter.device) {
        gFailure = "The printer is busy";
        return nullptr;
    }
    // A queue gets a PDF made in the temporary directory and handed to lp at the end.
    bool queued = request->queue && *request->queue;
    if (!queued && (!request->name || !*request->name)) {
        gFailure = "No output file";
        return nullptr;
    }
    gFailure.clear();
    std::string path;
    if (queued) {
        const char *tmp = getenv("TMPDIR");
        path = std::string(tmp && *tmp ? tmp : "/tmp") + "/torva-print.pdf";
    } else {
        path = request->name;
    }
    // A relative name is taken in the home directory: the program's working directory is
    // wherever it was started from, which the user does not see.
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
    // mkstemp's private mode would pass to the document: give it the mode of the file it
    // replaces, or what a new file gets.
    struct stat old;
    if (stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
        fchmod(fd, old.st_mode & 07777);
    } else {
        mode_t mask = umask(0);
        umask(mask);
        fchmod(fd, 0666 & ~mask);
    }
    gPrinter.out = fdopen(fd, "wb");
    if (!gPrinter.out) {
        close(fd);
        unlink(name.data());
        Fail("Cannot write", path, errno);
        return nullptr;
    }
    gPrinter.temp = name.data();
    gPrinter.path = path;
    if (queued) {
        gPrinter.queue = request->queue;
        gPrinter.title = request->title && *request->title ? request->title : "torva";
        gPrinter.copies = request->copies > 0 ? request->copies : 1;
    }

    double width, height;
    PaperSize(request->paper, &width, &height);
    gPrinter.surface = queued || EndsWith(path.c_str(), ".pdf")
                           ? cairo_pdf_surface_create_for_stream(WriteOut, nullptr, width, height)
                           : cairo_ps_surface_create_for_stream(WriteOut, nullptr, width, height);
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
    int error = CloseOut();
    if (error) {
        Fail("Cannot write", gPrinter.path, error);
        return 1;
    }
    if (status != CAIRO_STATUS_SUCCESS) {
        gFailure = "Cannot write " + gPrinter.path + ": " + cairo_status_to_string(status);
        return 1;
    }
    if (!gPrinter.queue.empty()) {
        std::string copies = std::to_string(gPrinter.copies);
        const char *argv[] = {
            "lp",           "-d", gPrinter.queue.c_str(), "-t",   gPrinter.title.c_str(), "-n",
            copies.c_str(), "--", gPrinter.temp.c_str(),  nullptr};
        std::string said;
        int status = RunCommand(argv, &said, 30, true);
        if (status != 0) {
            gFailure = "lp " + gPrinter.queue +
                       (status < 0 ? std::string(" could not run")
                                   : " failed with status " + std::to_string(status));
            // lp's last words say why ("The printer or class does not exist.").
            said.erase(said.find_last_not_of(" \t\r\n") + 1);
            std::string last = said.substr(said.find_last_of('\n') + 1);
            last.erase(0, last.find_first_not_of(" \t"));
            if (!last.empty())
                gFailure += ": " + last.substr(0, 200);
            return 1;
        }
        return 0; // the temporary file goes with the printer
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
