#pragma once
// Left, Top, Width and Height in twips for any widget. The values are kept exactly as
// set (fractions of a pixel survive the arithmetic that reads them back); the widget
// itself gets them rounded to whole pixels.
#include <QWidget>

#include "engine/twips.h"

template <class Base>
class Twipped : public Base {
  public:
    using Base::Base;

    Twips Left() const { return left_; }
    Twips Top() const { return top_; }
    Twips Width() const { return width_; }
    Twips Height() const { return height_; }

    void SetLeft(Twips v) { left_ = v, Apply(); }
    void SetTop(Twips v) { top_ = v, Apply(); }
    void SetWidth(Twips v) { width_ = v, Apply(); }
    void SetHeight(Twips v) { height_ = v, Apply(); }
    void SetRect(Twips l, Twips t, Twips w, Twips h) {
        left_ = l, top_ = t, width_ = w, height_ = h;
        Apply();
    }

  protected:
    // Called after the pixel geometry changed, for widgets that size their content.
    virtual void TwipsChanged() {}

  private:
    void Apply() {
        const int w = std::max(0, TwipsToPixels(width_));
        const int h = std::max(0, TwipsToPixels(height_));
        this->setGeometry(TwipsToPixels(left_), TwipsToPixels(top_), w, h);
        TwipsChanged();
    }

    Twips left_ = 0, top_ = 0, width_ = 0, height_ = 0;
};
