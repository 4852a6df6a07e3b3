// Where the Look reader knowingly departs from the documented Look lines
// (tests/reference/looks.tsv): keyed by line and field, the value the
// reader holds instead. Bad input must not reach the host as a value its
// parameter cannot hold.
#pragma once

#include <map>
#include <string>
#include <utility>

namespace looktest {

inline const std::map<std::pair<int, std::string>, double> kDepartures = {
    // The display gamut choice ends at option 14; a 15 takes the fallback
    // and the line's message instead of reaching the host.
    {{365, "high"}, 14.0},
    // ColorRefine ranges over 0 to 11: a 12 is written as 11.
    {{110, "written high"}, 11.0},
};

inline double departed(int line, const std::string& field, double documented) {
    const auto d = kDepartures.find({line, field});
    return d == kDepartures.end() ? documented : d->second;
}

} // namespace looktest
