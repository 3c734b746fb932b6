#include "sim/sim_sense.h"

#include "scsi/byte_order.h"

namespace {

// The three SKS bytes (a field pointer), alike in both formats.
void PutFieldPointer(const SimSense& sense, uint8_t* out)
{
    out[0] = 0x80;  // SKSV
    if (sense.inCdb) out[0] |= 0x40;
    if (sense.bitPointerValid) out[0] |= static_cast<uint8_t>(0x08 | (sense.bitPointer & 0x07));
    StoreBe16(out + 1, sense.fieldPointer);
}

}  // namespace

SimSense MakeSense(uint8_t senseKey, uint8_t asc, uint8_t ascq)
{
    SimSense sense;
    sense.senseKey = senseKey;
    sense.asc = asc;
    sense.ascq = ascq;
    return sense;
}

SimSense InvalidFieldInCdb(uint16_t byteIndex, int bitIndex)
{
    SimSense sense = MakeSense(kSenseKeyIllegalRequest, 0x24, 0x00);
    sense.fieldPointerValid = true;
    sense.inCdb = true;
    sense.fieldPointer = byteIndex;
    if (bitIndex >= 0 && bitIndex <= 7) {
        sense.bitPointerValid = true;
        sense.bitPointer = static_cast<uint8_t>(bitIndex);
    }
    return sense;
}

SimSense InvalidCommandOperationCode()
{
    return MakeSense(kSenseKeyIllegalRequest, 0x20, 0x00);
}

SimSense LbaOutOfRange()
{
    return MakeSense(kSenseKeyIllegalRequest, 0x21, 0x00);
}

std::vector<uint8_t> EncodeFixedSense(const SimSense& sense)
{
    std::vector<uint8_t> out(kFixedSenseLength, 0);
    out[0] = 0x70;
    // The fixed format's INFORMATION field holds four bytes; a larger value
    // cannot be reported there, so VALID stays clear (SPC-4, fixed format).
    if (sense.informationValid && sense.information <= 0xFFFFFFFFu) {
        out[0] |= 0x80;
        StoreBe32(&out[3], static_cast<uint32_t>(sense.information));
    }
    out[2] = sense.senseKey & 0x0F;
    out[7] = static_cast<uint8_t>(kFixedSenseLength - 8);
    out[12] = sense.asc;
    out[13] = sense.ascq;
    if (sense.fieldPointerValid) PutFieldPointer(sense, &out[15]);
    return out;
}

std::vector<uint8_t> EncodeDescriptorSense(const SimSense& sense)
{
    std::vector<uint8_t> out(8, 0);
    out[0] = 0x72;
    out[1] = sense.senseKey & 0x0F;
    out[2] = sense.asc;
    out[3] = sense.ascq;
    if (sense.informationValid) {
        const uint8_t descriptor[4] = {0x00, 0x0A, 0x80, 0x00};  // type 0, VALID
        out.insert(out.end(), descriptor, descriptor + 4);
        AppendBigEndian(out, sense.information, 8);
    }
    if (sense.fieldPointerValid) {
        const uint8_t descriptor[4] = {0x02, 0x06, 0x00, 0x00};
        out.insert(out.end(), descriptor, descriptor + 4);
        uint8_t pointer[3];
        PutFieldPointer(sense, pointer);
        out.insert(out.end(), pointer, pointer + 3);
        out.push_back(0x00);
    }
    out[7] = static_cast<uint8_t>(out.size() - 8);
    return out;
}
