// torva-cli --plot against the window: the PNG the command writes has, pixel for pixel, what a
// plot window of the same size shows after the same program was plotted in it here.
#include "windtest.h"

#include "buffer.h"
#include "calc.h"
#include "display.h"
#include "plot.h"
#include "plotmem.h"
#include "plotpaint.h"
#include "program.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

namespace {

using namespace windtest;

class CliPlotTest : public WindTest {
  protected:
    void SetUp() override {
        WindTest::SetUp();
        ASSERT_EQ(0, BufferProlog(failAllocate, failRelease, nullptr, nullptr));
        dir = TestPicturePath("cliplot");
        ASSERT_EQ(0, system(("mkdir -p " + dir).c_str()));
    }
    void TearDown() override {
        WindTest::TearDown();
        BufferEpilog();
    }
    std::string dir;
};

TEST_F(CliPlotTest, PngMatchesThePlotWindow) {
    struct Case {
        const char *name, *program, *options;
        int mode, width, height;
    } cases[] = {
        // clang-format off
        {"half", "/\n2\n=\n__ end __\n", "--realm -50,200,-20,150,10", 1, 400, 300},
        {"bowl", "recall A\nx^2\n+\nrecall B\nx^2\n=\n/\n4\n0\n0\n=\n__ end __\n", "--plot-3d --plot-size 360x280", 2, 360, 280},
        // clang-format on
    };
    for (const Case &c : cases) {
        const std::string program = dir + "/" + c.name + ".tor", png = dir + "/" + c.name + ".png";
        std::ofstream(program) << c.program;
        const std::string command =
            std::string(TORVA_CLI) + " --plot " + png + " " + c.options + " " + program;
        ASSERT_EQ(0, system((command + " >/dev/null 2>&1").c_str())) << command;

        Calculator calc;
        displayRebuild(&calc);
        calcAllocRegisters(16, &calc);
        calc.program = programLoad(program.c_str(), 1);
        ASSERT_NE(nullptr, calc.program);
        calc.programMode = c.mode;
        if (c.mode == 1) {
            calc.plotMinX = -50;
            calc.plotMinY = -20;
            calc.plotMaxY = 150;
        }
        Window *plot = OpenWindowPixels(0, 0, c.width - 1, c.height - 1, 0x000000, 0xFFFFFF,
                                        "progplot", 0, nullptr);
        ASSERT_NE(nullptr, plot);
        ShowWindowTree(plot);
        plotAttach(plot, plot, 0, &calc);
        EXPECT_LT(0, plotRun(&calc));
        plot->damageLeft = plot->damageTop = 0;
        plot->damageRight = c.width - 1;
        plot->damageBottom = c.height - 1;
        RepaintWindow(plot);

        cairo_surface_t *image = cairo_image_surface_create_from_png(png.c_str());
        ASSERT_EQ(CAIRO_STATUS_SUCCESS, cairo_surface_status(image)) << c.name;
        ASSERT_EQ(c.width, cairo_image_surface_get_width(image)) << c.name;
        ASSERT_EQ(c.height, cairo_image_surface_get_height(image)) << c.name;
        cairo_surface_flush(image);
        const unsigned char *data = cairo_image_surface_get_data(image);
        const int stride = cairo_image_surface_get_stride(image);
        int differ = 0, ink = 0;
        for (int y = 0; y < c.height; y++)
            for (int x = 0; x < c.width; x++) {
                uint32_t argb;
                memcpy(&argb, data + y * stride + x * 4, 4);
                const int64_t window = HeadlessPixel(plot->host, x, y);
                differ += (argb & 0xFFFFFF) != window;
                ink += window != 0xFFFFFF;
            }
        cairo_surface_destroy(image);
        EXPECT_EQ(0, differ) << c.name;
        EXPECT_GT(ink, 500) << c.name; // the picture holds a plot, not only its background

        plotDetach(&calc);
        CloseWindow(plot);
        BufferFree(calc.program);
        calc.program = nullptr;
        calcRelease(&calc);
        freePointMemory(&calc);
        displayRelease();
    }
}

} // namespace
