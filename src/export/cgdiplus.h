#pragma once
// Image writer that picks its encoder by the destination's extension.
class cGdiPlus {
  public:
    cGdiPlus();
    ~cGdiPlus();
};
