#include "scsi/mode_select_list.h"

#include "scsi/byte_order.h"

namespace {

constexpr size_t kHeaderLength = 4;
constexpr uint8_t kPsBit = 0x80;
constexpr uint8_t kSubpageFormat = 0x40;

}  // namespace

void PrepareModeSelectList(uint8_t* list, size_t length)
{
    if (length < kHeaderLength) return;
    list[0] = 0;
    list[2] = 0;
    size_t page = kHeaderLength + list[3];
    while (page + 1 < length) {
        list[page] &= static_cast<uint8_t>(~kPsBit);
        if (list[page] & kSubpageFormat) {
            if (page + 3 >= length) return;
            page += 4 + size_t{LoadBe16(list + page + 2)};
        } else {
            page += 2 + size_t{list[page + 1]};
        }
    }
}
