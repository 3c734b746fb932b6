#pragma once

#include <memory>

// The Escape key of an attached console.
class Keyboard {
public:
    virtual ~Keyboard() = default;
    // True once per Escape press waiting in the input.
    virtual bool EscapePressed() = 0;
};

class NoKeyboard final : public Keyboard {
public:
    bool EscapePressed() override { return false; }
};

// The console when standard input is a terminal, otherwise no keyboard.
std::unique_ptr<Keyboard> MakeConsoleKeyboard();
