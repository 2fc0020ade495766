// The sign-in and version report exchange with the portal (see README.md):
//   GET <site>/engine/signin?version=V&machine=M -> result, user, points, level
//   GET <site>/engine/version?version=V          -> action, catalog, service, updater
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "util.h"

namespace kestrova::engine {

struct SignInAnswer {
  bool reached = false;  // a well-formed answer came back
  std::int32_t result = -1, user = 0, points = 0, level = 0;
};

struct VersionAnswer {
  bool reached = false;
  std::int32_t action = 0, catalog = 0, service = 0, updater = 0;
};

// The machine's id: 32 lower-case hex digits kept in
// $XDG_DATA_HOME/kestrova-engine/machine-id, made on first use.
std::string MachineId();

// "key=value" lines into a map.  False when a non-blank line has no '='.
bool ParseAnswer(const std::string &body, std::map<std::string, std::string> &fields);
// The field's 32-bit decimal value.  A missing field gives `fallback` when
// one is allowed; a present one must be a number.
bool FieldInt(const std::map<std::string, std::string> &fields, const char *key, std::int32_t &out,
              const std::int32_t *fallback = nullptr);

// The portal's root without trailing slashes; "" when it is not an http(s)
// address.
std::string PortalBase(const char *siteUrl);

SignInAnswer RequestSignIn(const std::string &base, std::int32_t version,
                           const std::string &machine, const CancelToken &cancel);
VersionAnswer RequestVersion(const std::string &base, std::int32_t version,
                             const CancelToken &cancel);

}  // namespace kestrova::engine
