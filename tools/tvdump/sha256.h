#pragma once
// SHA-256 (FIPS 180-4), for fingerprints of blob values in table dumps.
#include <cstdint>
#include <string>
#include <string_view>

namespace tvdump {

class Sha256 {
public:
    Sha256();
    void update(std::string_view data);
    // Lowercase hex digest; the object is spent afterwards.
    std::string hexDigest();

private:
    void block(const uint8_t* p);
    uint32_t h_[8];
    uint8_t buf_[64];
    size_t used_ = 0;
    uint64_t length_ = 0;
};

std::string sha256Hex(std::string_view data);

} // namespace tvdump
