#pragma once
// Small owners for GDI objects, so every pen and every selection is undone on every path.

#include <windows.h>

class Pen {
  public:
    Pen(int style, int width, COLORREF colour) : handle_(CreatePen(style, width, colour)) {}
    ~Pen() {
        if (handle_)
            DeleteObject(handle_);
    }
    Pen(const Pen&) = delete;
    Pen& operator=(const Pen&) = delete;

    HPEN get() const { return handle_; }

  private:
    HPEN handle_;
};

// Restores the object that was selected into a device context before the first selection.
class SelectionGuard {
  public:
    explicit SelectionGuard(HDC dc) : dc_(dc) {}
    ~SelectionGuard() {
        if (original_)
            SelectObject(dc_, original_);
    }
    SelectionGuard(const SelectionGuard&) = delete;
    SelectionGuard& operator=(const SelectionGuard&) = delete;

    void select(HGDIOBJ object) {
        HGDIOBJ previous = SelectObject(dc_, object);
        if (!original_)
            original_ = previous;
    }

  private:
    HDC dc_;
    HGDIOBJ original_ = nullptr;
};

// A memory device context like another one; its selection is undone before it is deleted (the
// members end in the reverse order of their declaration).
class MemoryDc {
  public:
    explicit MemoryDc(HDC like) : owner_{CreateCompatibleDC(like)}, selection_(owner_.dc) {}

    void select(HGDIOBJ object) { selection_.select(object); }
    HDC get() const { return owner_.dc; }

  private:
    struct Owner {
        HDC dc;
        ~Owner() {
            if (dc)
                DeleteDC(dc);
        }
    } owner_;
    SelectionGuard selection_;
};
