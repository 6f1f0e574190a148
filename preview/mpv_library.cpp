#include "preview/mpv_library.h"

#include <dlfcn.h>
#include <mpv/client.h>
#include <mpv/render.h>

#include <mutex>

namespace {
// The functions the preview uses, resolved from the library.
struct MpvFunctions {
  decltype(&::mpv_create) create = nullptr;
  decltype(&::mpv_initialize) initialize = nullptr;
  decltype(&::mpv_terminate_destroy) terminate_destroy = nullptr;
  decltype(&::mpv_set_option_string) set_option_string = nullptr;
  decltype(&::mpv_command_async) command_async = nullptr;
  decltype(&::mpv_get_property) get_property = nullptr;
  decltype(&::mpv_get_property_async) get_property_async = nullptr;
  decltype(&::mpv_set_property_async) set_property_async = nullptr;
  decltype(&::mpv_observe_property) observe_property = nullptr;
  decltype(&::mpv_wait_event) wait_event = nullptr;
  decltype(&::mpv_set_wakeup_callback) set_wakeup_callback = nullptr;
  decltype(&::mpv_render_context_create) render_context_create = nullptr;
  decltype(&::mpv_render_context_free) render_context_free = nullptr;
  decltype(&::mpv_render_context_render) render_context_render = nullptr;
  decltype(&::mpv_render_context_set_update_callback) render_context_set_update_callback = nullptr;
  decltype(&::mpv_render_context_update) render_context_update = nullptr;
};

// The library stays open for the process's life: libmpv's own threads may
// still run while static objects are destroyed, so it is never closed.
const MpvFunctions* Load() {
  static std::once_flag once;
  static MpvFunctions fns;
  static bool ok = false;
  std::call_once(once, [] {
    void* lib = dlopen("libmpv.so.2", RTLD_NOW | RTLD_LOCAL);
    if (!lib) return;
    bool all = true;
    auto get = [&](auto& fn, const char* name) {
      fn = reinterpret_cast<std::remove_reference_t<decltype(fn)>>(dlsym(lib, name));
      all = all && fn;
    };
    get(fns.create, "mpv_create");
    get(fns.initialize, "mpv_initialize");
    get(fns.terminate_destroy, "mpv_terminate_destroy");
    get(fns.set_option_string, "mpv_set_option_string");
    get(fns.command_async, "mpv_command_async");
    get(fns.get_property, "mpv_get_property");
    get(fns.get_property_async, "mpv_get_property_async");
    get(fns.set_property_async, "mpv_set_property_async");
    get(fns.observe_property, "mpv_observe_property");
    get(fns.wait_event, "mpv_wait_event");
    get(fns.set_wakeup_callback, "mpv_set_wakeup_callback");
    get(fns.render_context_create, "mpv_render_context_create");
    get(fns.render_context_free, "mpv_render_context_free");
    get(fns.render_context_render, "mpv_render_context_render");
    get(fns.render_context_set_update_callback, "mpv_render_context_set_update_callback");
    get(fns.render_context_update, "mpv_render_context_update");
    ok = all;
  });
  return ok ? &fns : nullptr;
}
}  // namespace

bool LoadMpvLibrary() { return Load() != nullptr; }

// Every handle below came from mpv_create, which only succeeds once the
// library is loaded, so the forwarders past it need no null check of their
// own beyond Load()'s answer.
extern "C" {
mpv_handle* mpv_create(void) { return Load() ? Load()->create() : nullptr; }
int mpv_initialize(mpv_handle* ctx) { return Load() ? Load()->initialize(ctx) : MPV_ERROR_GENERIC; }
void mpv_terminate_destroy(mpv_handle* ctx) {
  if (Load()) Load()->terminate_destroy(ctx);
}
int mpv_set_option_string(mpv_handle* ctx, const char* name, const char* data) {
  return Load() ? Load()->set_option_string(ctx, name, data) : MPV_ERROR_GENERIC;
}
int mpv_command_async(mpv_handle* ctx, uint64_t reply_userdata, const char** args) {
  return Load() ? Load()->command_async(ctx, reply_userdata, args) : MPV_ERROR_GENERIC;
}
int mpv_get_property(mpv_handle* ctx, const char* name, mpv_format format, void* data) {
  return Load() ? Load()->get_property(ctx, name, format, data) : MPV_ERROR_GENERIC;
}
int mpv_get_property_async(mpv_handle* ctx, uint64_t reply_userdata, const char* name,
                           mpv_format format) {
  return Load() ? Load()->get_property_async(ctx, reply_userdata, name, format) : MPV_ERROR_GENERIC;
}
int mpv_set_property_async(mpv_handle* ctx, uint64_t reply_userdata, const char* name,
                           mpv_format format, void* data) {
  return Load() ? Load()->set_property_async(ctx, reply_userdata, name, format, data)
                : MPV_ERROR_GENERIC;
}
int mpv_observe_property(mpv_handle* mpv, uint64_t reply_userdata, const char* name,
                         mpv_format format) {
  return Load() ? Load()->observe_property(mpv, reply_userdata, name, format) : MPV_ERROR_GENERIC;
}
mpv_event* mpv_wait_event(mpv_handle* ctx, double timeout) {
  return Load() ? Load()->wait_event(ctx, timeout) : nullptr;
}
void mpv_set_wakeup_callback(mpv_handle* ctx, void (*cb)(void* d), void* d) {
  if (Load()) Load()->set_wakeup_callback(ctx, cb, d);
}
int mpv_render_context_create(mpv_render_context** res, mpv_handle* mpv, mpv_render_param* params) {
  return Load() ? Load()->render_context_create(res, mpv, params) : MPV_ERROR_GENERIC;
}
void mpv_render_context_free(mpv_render_context* ctx) {
  if (Load()) Load()->render_context_free(ctx);
}
int mpv_render_context_render(mpv_render_context* ctx, mpv_render_param* params) {
  return Load() ? Load()->render_context_render(ctx, params) : MPV_ERROR_GENERIC;
}
void mpv_render_context_set_update_callback(mpv_render_context* ctx,
                                            mpv_render_update_fn callback, void* callback_ctx) {
  if (Load()) Load()->render_context_set_update_callback(ctx, callback, callback_ctx);
}
uint64_t mpv_render_context_update(mpv_render_context* ctx) {
  return Load() ? Load()->render_context_update(ctx) : 0;
}
}
