#pragma once

#include <algorithm>
#include <array>
#include <cstring>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "drives/device_entry.h"
#include "modepages/field_text_form.h"
#include "modepages/mode_page_io.h"
#include "scsi/scsi_request.h"
#include "support/hex_fixture.h"
#include "support/recording_prompts.h"
#include "support/scripted_device.h"

namespace modetest {

inline std::vector<uint8_t> Hex(const std::string& text) { return ParseHexText(text); }

// A drive scripted page by page: MODE SENSE(6) answers from the pages
// given for each page control, MODE SELECT(6) parameter lists are kept as
// they arrived. A page control may instead be answered with a status and
// sense, and a block descriptor may be sent despite DBD.
class ScriptedModeDrive {
public:
    struct Failure {
        bool delivered = true;
        uint8_t status = kStatusCheckCondition;
        std::vector<uint8_t> sense;
        bool withData = false;  // the page data arrives all the same
    };
    struct Select {
        std::array<uint8_t, 6> cdb{};
        uint32_t transferLength = 0;
        std::vector<uint8_t> list;  // the parameter list length's bytes
    };

    ScriptedModeDrive()
    {
        device->script = [this](const ScsiRequest& request) { return Answer(request); };
        entry.handle = device;
        entry.path = "scripted";
    }
    ~ScriptedModeDrive()
    {
        if (g_pSheetDevice == &entry) g_pSheetDevice = nullptr;
    }

    // A page (header bytes included) as its current, default and saved
    // values, every bit of it changeable.
    void SetPage(const std::vector<uint8_t>& page)
    {
        const uint8_t code = page[0] & 0x3F;
        if (!pages.count(code)) order.push_back(code);
        std::vector<uint8_t> changeable(page.size(), 0xFF);
        changeable[0] = page[0];
        changeable[1] = page[1];
        pages[code] = {page, changeable, page, page};
    }
    void SetPage(uint8_t pageControl, const std::vector<uint8_t>& page) { pages[page[0] & 0x3F][pageControl] = page; }

    void MakeSheetDevice() { g_pSheetDevice = &entry; }

    std::vector<std::vector<uint8_t>> ModeSenseCdbs() const
    {
        std::vector<std::vector<uint8_t>> cdbs;
        for (const ScsiRequest& request : device->requests)
            if (request.Cdb[0] == 0x1A) cdbs.emplace_back(request.Cdb, request.Cdb + request.CdbLength);
        return cdbs;
    }

    std::shared_ptr<ScriptedDevice> device = std::make_shared<ScriptedDevice>();
    DeviceEntry entry;
    std::map<uint8_t, std::array<std::vector<uint8_t>, 4>> pages;
    std::vector<uint8_t> order;
    std::map<uint8_t, Failure> failures;  // by page control
    std::vector<uint8_t> blockDescriptor;  // sent even with DBD when not empty
    std::optional<uint8_t> modeDataLength; // instead of the true one
    std::vector<Select> selects;
    bool anyPage = false;  // every page whatever the page code asked for

private:
    using Reply = ScriptedDevice::Reply;

    Reply Answer(const ScsiRequest& request)
    {
        Reply reply;
        if (request.Cdb[0] == 0x15) {
            Select select;
            std::copy(request.Cdb, request.Cdb + 6, select.cdb.begin());
            select.transferLength = request.DataTransferLength;
            const auto* data = static_cast<const uint8_t*>(request.DataBuffer);
            select.list.assign(data, data + request.Cdb[4]);
            selects.push_back(select);
            return reply;
        }
        const uint8_t pageControl = request.Cdb[2] >> 6;
        const uint8_t code = request.Cdb[2] & 0x3F;
        std::vector<uint8_t> data = {0, 0, 0x10, static_cast<uint8_t>(blockDescriptor.size())};
        data.insert(data.end(), blockDescriptor.begin(), blockDescriptor.end());
        for (uint8_t listed : order)
            if (code == 0x3F || code == listed || anyPage) {
                const auto& page = pages[listed][pageControl];
                data.insert(data.end(), page.begin(), page.end());
            }
        // A drive that claims more mode data sends that much (padding here),
        // as far as the allocation length lets it.
        if (modeDataLength) data.resize(std::max<size_t>(data.size(), size_t{*modeDataLength} + 1));
        data[0] = modeDataLength ? *modeDataLength : static_cast<uint8_t>(data.size() - 1);
        const auto failure = failures.find(pageControl);
        if (failure != failures.end()) {
            reply.delivered = failure->second.delivered;
            reply.status = failure->second.status;
            reply.sense = failure->second.sense;
            if (!failure->second.withData) return reply;
        }
        reply.data = data;
        return reply;
    }
};

// A page on a scripted drive, shown in a text form as its tab would be.
template <typename Page>
class PageOnDrive {
public:
    explicit PageOnDrive(const std::string& bytes)
    {
        drive.SetPage(Hex(bytes));
        drive.MakeSheetDevice();
        page.AttachControls(&form, &prompts);
    }
    void Show() { page.OnInitDialog(); }
    std::string Text(int id) { return form.Edit(id)->Text(); }
    void Type(int id, const std::string& text) { form.Edit(id)->SetText(text); }
    // The page bytes of the last MODE SELECT.
    std::vector<uint8_t> Sent() const
    {
        if (drive.selects.empty()) return {};
        const auto& list = drive.selects.back().list;
        return {list.begin() + 4, list.end()};
    }

    ScriptedModeDrive drive;
    Page page;
    FieldTextForm form{page.Table()};
    RecordingPrompts prompts;
};

}  // namespace modetest
