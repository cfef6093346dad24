// Fuzzes the game messages' decoders against the test server's independent codec: for a
// message type and direction, the game's decoder and the server's must both accept the
// payload or both drop it. An accepted message re-encoded by the game reads back through the
// server's codec to the same fields the server read from the payload (but for the flag word
// of a matrix replaced by the identity), no number in it is a NaN or an infinity, and every
// 32-byte text in the record is terminated inside its field (fuzz/message_agreement.h).
//
// Input: the type (a byte, 17 + value % 36), the direction (low bit of a byte: 1 = to the
// client), then the payload.
#include "fuzz/message_agreement.h"

using mpserver::Direction;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzing::start_framework();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzing::start_framework();
    fuzzing::FrameworkBlocksBalanced balanced;
    fuzzing::FuzzInput input(data, size);
    const uint16_t type = uint16_t(17 + input.byte() % 36);
    const Direction direction = (input.byte() & 1) ? Direction::ToClient : Direction::ToServer;
    fuzzing::check_message_agreement(type, direction, input.rest());
    return 0;
}
