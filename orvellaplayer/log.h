// The player's own diagnostics: one line on standard error, prefixed "orvellaplayer: ".
#ifndef ORV_LOG_H
#define ORV_LOG_H

namespace orv {

__attribute__((format(printf, 1, 2))) void warn(const char *fmt, ...);

}  // namespace orv

#endif
