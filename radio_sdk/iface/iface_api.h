// The steps every public data function shares (log, wrap, check, forward).
#ifndef RV_IFACE_IFACE_API_H
#define RV_IFACE_IFACE_API_H

#include "rv_sdk_info.h"

namespace rv::api {

// Logs the call, wraps callback and user pointer, checks the required
// arguments (`args_ok`) and the init flag, in that order. Returns the wrapper
// to hand to the ipa_ function, or null when the call has been answered.
result_callback_args *enter(const char *name, rv_result_callback callback, void *user_data,
                            bool args_ok);

// Calls the wrapped callback (if any) with the outcome and frees the wrapper,
// now or through the application's dispatcher.
void deliver(result_callback_args *args, int code, void *data, int count);

// The outcome of a data function: its log phrase and how its data is freed
// when the application passed no callback.
struct Outcome {
    const char *phrase;
    void (*release)(void *data);
};

// Logs "<phrase> success" or "<phrase> failed: rve = …" and delivers.
void finish(const Outcome &outcome, int code, void *data, int count, void *args);

// The _cb_ipa_<name> of a data function: a result callback bound to its outcome.
template <const Outcome &O>
void forward(int code, void *data, int count, void *args) {
    finish(O, code, data, count, args);
}

// A record's dao_<name>_del as an Outcome release.
template <class T, void (*Del)(T *)>
void release_as(void *data) {
    Del(static_cast<T *>(data));
}

}  // namespace rv::api

#endif
