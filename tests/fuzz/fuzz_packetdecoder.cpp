// libFuzzer entry for the frame decoder: every input is one captured frame.
#include "packetdecoder.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // An exact-size copy, so a read past the captured bytes hits the redzone.
    std::vector<uchar> frame(data, data + size);
    PacketInfo packet;
    if (PacketDecoder::decodeEthernetFrame(frame.data(), frame.size(), packet)) {
        if (size_t(packet.rawData.size()) != size || size_t(packet.payload.size()) + 34 > size)
            abort();
    }
    PacketDecoder::ipProtocolOf(frame.data(), frame.size());
    if (size >= 16) {
        qint64 seconds;
        memcpy(&seconds, data, sizeof seconds);
        PacketDecoder::formatTimestamp(seconds % 253402300800LL, (data[8] * 3907) % 1000000);
    }
    return 0;
}
