#pragma once
// Fails one chosen RegSetValueExA call of the program and counts all of them, through this test
// executable's own import table; the registry itself stays real.

#include "support/import_patch.h"

class RegistryWriteWatch {
  public:
    // failAt: the number of the call to fail, counting from 1; 0 fails none.
    explicit RegistryWriteWatch(int failAt = 0);
    bool active() const { return patch_.active(); }
    int calls() const;

  private:
    ImportPatch patch_;
};
