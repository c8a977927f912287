#pragma once

#include <spng.h>

#include <memory>
#include <string>

#include "png/png_error.hpp"

namespace tess::detail {

struct SpngFree {
    void operator()(spng_ctx* ctx) const { spng_ctx_free(ctx); }
};

using SpngContext = std::unique_ptr<spng_ctx, SpngFree>;

[[noreturn]] inline void throw_out_of_memory() { throw PngError("not enough memory for the PNG"); }

inline SpngContext new_spng_context(int flags)
{
    SpngContext ctx(spng_ctx_new(flags));
    if (!ctx) throw_out_of_memory();
    return ctx;
}

// Turns a libspng result into a PngError: `what` followed by libspng's own text.
inline void check_spng(int error, const char* what)
{
    if (error == SPNG_OK) return;
    if (error == SPNG_EMEM) throw_out_of_memory();
    throw PngError(std::string(what) + spng_strerror(error));
}

}  // namespace tess::detail
