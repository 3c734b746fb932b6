#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "modepages/data_exchange.h"
#include "modepages/mode_buffer.h"
#include "modepages/mode_page_io.h"
#include "modepages/mode_page_table.h"

class UserPrompts;

// What a save came to.
enum class ModeSaveResult {
    Sent,          // the drive took the MODE SELECT
    DriveRefused,  // MODE SELECT failed (reported on clog)
    ReadFailed,    // the page could not be read first: nothing sent
    Invalid,       // a field refused its text: nothing sent
    Unchangeable,  // a field would change bits the drive cannot change: nothing sent
    NoDevice,      // no sheet device, or its handle is not open
};

// One tab of the mode page sheet: a page's fields in three columns
// (Current, Saved, Default), and the page's operations on g_pSheetDevice.
// Every page works the same way; only its table differs.
class CModePage {
public:
    explicit CModePage(const ModePageTable& table);
    virtual ~CModePage() = default;
    CModePage(const CModePage&) = delete;
    CModePage& operator=(const CModePage&) = delete;

    const ModePageTable& Table() const { return table; }
    std::span<const ModeField> Fields() const { return table.fields; }
    // The code it reads and writes; the sheet records the one the drive
    // reported for the Power Condition page.
    uint8_t PageCode() const { return pageCode; }
    void SetPageCode(uint8_t code) { pageCode = code; }
    bool Answers(uint8_t code) const { return code == table.code || code == table.otherCode; }

    // The page's controls and where their messages go; null: none (the
    // values are then only held).
    void AttachControls(FieldControls* controls, UserPrompts* prompts);

    uint64_t Value(size_t field, Column column) const { return values[field][static_cast<size_t>(column)]; }
    void SetValue(size_t field, Column column, uint64_t value) { values[field][static_cast<size_t>(column)] = value; }
    // Whether a column holds what the drive last answered (false until a
    // read of it worked).
    bool ColumnRead(Column column) const { return columnRead[static_cast<size_t>(column)]; }
    // Whether a field's Current and Saved controls were made read-only.
    bool Locked(size_t field) const { return locked[field]; }

    // Every field in table order, each column's control in turn.
    void DoDataExchange(CDataExchange& dx);
    // One exchange pass; false when a field refused its text.
    bool UpdateData(bool saveAndValidate);

    // A column's fields from a page inside a buffer (the sheet uses it for
    // the Default column of the pages it fills itself).
    void CopyFields(const uint8_t* buffer, const PageSpan& page, Column column);

    // Fill the three columns, lock the fields whose changeable bits are
    // zero; what the page does when it is first shown.
    void OnInitDialog();
    void RefreshFields();
    void LockUnchangeable();
    void OnRefresh() { RefreshFields(); }
    // Locked fields go back as the drive has them; a field whose new value
    // would change bits the drive cannot change stops the save with a
    // message naming them.
    ModeSaveResult OnSaveSaveable();
    ModeSaveResult OnSaveCurrent();
    // Why the drive refused the last save (ModeSaveResult::DriveRefused).
    const ModeWriteRefusal& LastRefusal() const { return refusal; }

    // Whether a Current or Saved control shows something other than what
    // the drive last gave or took: an edit not saved (or refused).
    bool Edited() const;

private:
    bool ReadColumn(uint8_t pageControl, Column column);
    ModeSaveResult Save(uint8_t pageControl, Column column, int save);
    bool ChangesFixedBits(const ModeBuffer& asRead, const PageSpan& page, size_t field, uint64_t value);
    void ApplyLocks();
    // A control's text as the edit check compares it ("1"/"0": a check box).
    std::string ControlText(int controlId) const;
    // The columns' controls now hold what the drive gave or took.
    void MarkUnedited(std::initializer_list<Column> columns);

    const ModePageTable& table;
    uint8_t pageCode;
    FieldControls* controls = nullptr;
    UserPrompts* prompts = nullptr;
    std::vector<std::array<uint64_t, kColumnCount>> values;
    std::array<bool, kColumnCount> columnRead{};
    std::vector<bool> locked;
    // The changeable values, once a read of them worked.
    ModeBuffer changeable{};
    std::optional<PageSpan> changeableSpan;
    ModeWriteRefusal refusal;
    std::map<int, std::string> unedited;  // by control id
};
