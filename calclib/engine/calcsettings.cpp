// The calculator's keys of the settings file with their defaults, in the order the panel reads
// them, and the sound values that out-of-range entries fall back to.
#include "calcsettings.h"

#include "calc.h"
#include "settings.h"

#include <cstring>

std::string calcSettingsFileName(const char *argv0) {
    std::string base = "default";
    if (argv0) {
        const char *slash = strrchr(argv0, '/');
        const char *backslash = strrchr(argv0, '\\');
        const char *sep = slash > backslash ? slash : backslash;
        base = sep ? std::string(sep + 1) : std::string(argv0);
        // After a separator the base ends at the first '.'; a bare word keeps its extension.
        if (sep)
            base = base.substr(0, base.find('.'));
        if (base.empty())
            base = "default";
    }
    return SettingsDirectory() + "/" + base + ".ini";
}

static int clamp(int value, int low, int high) {
    return value < low ? low : value > high ? high : value;
}

static CalcRgb readColour(const char *prefix, CalcRgb fallback, const char *file) {
    std::string p = prefix;
    return {clamp(ReadIntSetting((p + "_RED").c_str(), fallback.red, file), 0, 255),
            clamp(ReadIntSetting((p + "_GRN").c_str(), fallback.green, file), 0, 255),
            clamp(ReadIntSetting((p + "_BLU").c_str(), fallback.blue, file), 0, 255)};
}

static int readSettings(const char *file, Calculator *calc, CalcPanelSettings *panel) {
    CalcPanelSettings p;
    // The panel's position, foreground, key styles and number-key font.
    p.x = clamp(ReadIntSetting("APPLICATION_ULX", 20, file), -1000, 1000);
    p.y = clamp(ReadIntSetting("APPLICATION_ULY", 20, file), -1000, 1000);
    p.foreground = readColour("APPLICATION_FRG", {0, 0, 0}, file);
    p.numberKeyText = readColour("NUMBER_KEY_FRG", {0, 0, 0}, file);
    p.numberKeyBack = readColour("NUMBER_KEY_BKG", {90, 190, 220}, file);
    p.operatorKeyText = readColour("OPERATOR_KEY_FRG", {0, 0, 0}, file);
    p.operatorKeyBack = readColour("OPERATOR_KEY_BKG", {240, 240, 160}, file);
    p.miscKeyText = readColour("MISC_KEY_FRG", {0, 0, 0}, file);
    p.miscKeyBack = readColour("MISC_KEY_BKG", {250, 190, 190}, file);
    p.memKeyText = readColour("MEM_KEY_FRG", {0, 0, 0}, file);
    p.memKeyBack = readColour("MEM_KEY_BKG", {250, 190, 250}, file);
    p.programKeyText = readColour("PROGRAM_KEY_FRG", {0, 0, 0}, file);
    p.programKeyBack = readColour("PROGRAM_KEY_BKG", {190, 250, 190}, file);
    p.numberKeyFontFace = ReadStringSetting("NUMBER_KEY_FONTFACE", "helvetica", file);
    p.numberKeyFontSize = clamp(ReadIntSetting("NUMBER_KEY_FONTSIZE", 14, file), 1, 200);
    p.numberKeyFontBold = ReadIntSetting("NUMBER_KEY_FONTBOLD", 1, file) != 0;
    p.numberKeyFontItalic = ReadIntSetting("NUMBER_KEY_FONTITAL", 0, file) != 0;

    // The engine's settings.
    calc->digits = clamp(ReadIntSetting("MANTISSA_DIGITS", 10, file), 2, kMaxMantissaDigits);
    calc->exponentDigits = clamp(ReadIntSetting("EXPONENT_DIGITS", 2, file), 0, kMaxExponentDigits);
    calc->format = ReadIntSetting("NUMBER_FORMAT", 0, file) == 1 ? 1 : 0;
    calc->autoFormat = ReadIntSetting("NUMBER_FORMAT_AUTO", 1, file) != 0;
    int radix = ReadIntSetting("RADIX", 10, file);
    calc->radix = radix == 2 || radix == 8 || radix == 16 ? radix : 10;
    calc->fixedPlaces = clamp(ReadIntSetting("FIXED_RADIX_PLACE", -1, file), -1, calc->digits);
    int display = ReadIntSetting("DISPLAY_FORMAT", 1, file);
    int notation = display & kDisplayNotationMask;
    calc->displayFormat =
        (notation >= 1 && notation <= 3 ? notation : 1) | (display & kDisplayFixedPoint);
    calc->beginnerMode = ReadIntSetting("BEGINNER_MODE", 1, file);
    calc->programMode = clamp(ReadIntSetting("PROGRAM_MODE", 0, file), 0, 2);
    calc->plotOriginMode = ReadIntSetting("PLOT_ORIGIN_MODE", 0, file);
    calc->plotAbscissaMode = ReadIntSetting("PLOT_ABCISSA_MODE", 7, file);
    // The rate picks a paint threshold and a button of the options dialog: one outside 0 to 2
    // paints on every request, as Maximum does.
    int rate = ReadIntSetting("PLOT_REFRESH_RATE", 1, file);
    calc->plotRefreshRate = rate >= 0 && rate <= 2 ? rate : 2;
    int registers =
        clamp(ReadIntSetting("NUM_STORABLE_NUMBERS", kDefaultRegisters, file), 0, kMaxRegisters);

    // The colour table.
    p.digitText = readColour("DIGIT_FRG", {10, 240, 230}, file);
    // The display background's blue key has always been spelled DIGIT_NKG_BLU.
    p.digitBack = {clamp(ReadIntSetting("DIGIT_BKG_RED", 0, file), 0, 255),
                   clamp(ReadIntSetting("DIGIT_BKG_GRN", 0, file), 0, 255),
                   clamp(ReadIntSetting("DIGIT_NKG_BLU", 0, file), 0, 255)};
    p.aluStatusText = readColour("ALU_STATUS_FRG", {255, 63, 63}, file);
    p.radixStatusText = readColour("RADIX_STATUS_FRG", {63, 255, 63}, file);
    p.toolTipBack = readColour("TOOL_TIP_BKG", {250, 230, 200}, file);
    p.plotColor2 = readColour("PLOT_COLOR_2", {255, 0, 0}, file);
    p.plotColor3 = readColour("PLOT_COLOR_3", {0, 255, 0}, file);
    p.plotColor4 = readColour("PLOT_COLOR_4", {0, 0, 255}, file);
    if (panel)
        *panel = p;
    return registers;
}

// A first start writes every default back: in one replacement of the file, not one per key.
int calcReadSettings(const char *file, Calculator *calc, CalcPanelSettings *panel) {
    SettingsBatchBegin(file);
    int registers = readSettings(file, calc, panel);
    SettingsBatchEnd();
    return registers;
}
