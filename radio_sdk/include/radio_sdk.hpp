/** @file
 * The radio SDK for C++20: a header-only layer over the C API of radio_sdk.h.
 *
 * Nothing here is compiled into libradio_sdk.so: only the C functions cross
 * the library boundary, so this header works with any C++20 compiler against
 * the same library.
 *
 * Ownership: every record handed to the application is a value (std::string,
 * std::vector, std::optional); the C record it was made from is freed with its
 * dao_<name>_del before the application's code runs. Nothing the application
 * holds points into SDK memory.
 *
 * Futures and stored callables are the face's own rv::Future and rv::Function,
 * used as std::future and std::function are (they keep the standard headers
 * behind those out of every file that includes this one).
 *
 * Errors: failures arrive as rv::Error (a std::runtime_error carrying the
 * result code of rv_error.h). No exception ever crosses into the SDK: an
 * exception thrown by an application callable inside an SDK callback is
 * caught, logged as an E line with tag "RADIO_SDK_HPP" and dropped.
 *
 * Threads: see rv::Sdk for the data calls and rv::set_log_sink for the log
 * sink. In short: a callable runs either on the calling thread before the
 * call returns (refusals) or on one of the SDK's worker threads, with no lock
 * of the SDK held; it may start further calls but must not block (no waiting
 * on a future of the SDK, no destruction of the rv::Sdk).
 *
 * The C API has one log sink per process; this header keeps the callable
 * for it in each module (executable or shared library) that includes it, so
 * install the sink from one module only.
 */
#ifndef RADIO_SDK_HPP
#define RADIO_SDK_HPP

#include "rv/calls.hpp"
#include "rv/downloads.hpp"
#include "rv/error.hpp"
#include "rv/function.hpp"
#include "rv/future.hpp"
#include "rv/log.hpp"
#include "rv/player.hpp"
#include "rv/sdk.hpp"
#include "rv/values.hpp"

#endif
