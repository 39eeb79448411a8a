// The few operations through which the number engine reaches its owner: the carry and overflow
// indicators and the tape. They only touch the context and its hooks, so the number engine can
// be used (and tested) with no calculator, display or tape behind it.
#include "numctx.h"

#include <string>

static void calcSetIndicator(int NumContext::*field, int value, NumContext *ctx) {
    if (!ctx || ctx->*field == value)
        return;
    ctx->*field = value;
    if (ctx->numHooks && ctx->numHooks->indicatorsChanged)
        ctx->numHooks->indicatorsChanged(ctx);
}

void calcSetCarry(NumContext *ctx) { calcSetIndicator(&NumContext::carry, 1, ctx); }
void calcClearCarry(NumContext *ctx) { calcSetIndicator(&NumContext::carry, 0, ctx); }
void calcSetOverflow(NumContext *ctx) { calcSetIndicator(&NumContext::overflow, 1, ctx); }
void calcClearOverflow(NumContext *ctx) { calcSetIndicator(&NumContext::overflow, 0, ctx); }

void calcTapeMessage(const char *text, NumContext *ctx) {
    if (!ctx || !ctx->numHooks || !ctx->numHooks->tapeWrite)
        return;
    std::string line = "\n";
    line += text;
    line += '\n';
    ctx->numHooks->tapeWrite(line.c_str(), ctx);
}
