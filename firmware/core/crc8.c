#include "core/protocol.h"

uint8_t vkr_crc8_byte(uint8_t crc, uint8_t byte) {
    crc ^= byte;
    for (uint8_t bit = 0; bit < 8; ++bit)
        crc = (uint8_t)((crc & 0x80) ? (crc << 1) ^ 0x07 : crc << 1);
    return crc;
}

uint8_t vkr_crc8(uint8_t crc, const uint8_t* data, size_t size) {
    for (size_t i = 0; i < size; ++i)
        crc = vkr_crc8_byte(crc, data[i]);
    return crc;
}
