#pragma once
// Synthetic bases for load tests and benchmarks: any number of records per base, made from a
// seed alone. Record i of a base depends only on (seed, base, i), so any record can be made
// again without the others. Memo texts run from 100 to 1,500 bytes (about 600 on average),
// and about one record in a thousand mentions the form class in some letter case.

#include "writeset.h"

#include <cstdint>
#include <string>
#include <vector>

namespace mkbases {

struct SynthOptions {
    uint64_t records = 1000;
    uint64_t seed = 1;
};

// Record i of base def.
tv::Record synthRecord(const BaseDef& def, uint64_t seed, uint64_t i);

// Jobs that write options.records synthetic records into every base of the catalogue; keyed
// tables receive their records in key order.
std::vector<BaseJob> synthJobs(const SynthOptions& options);

// The word list the texts are made of (exposed for tests: no word may contain the marker).
const std::vector<std::string>& synthVocabulary();

// The spellings of the marker word that about 0.1% of records carry.
const std::vector<std::string>& markerSpellings();

} // namespace mkbases
