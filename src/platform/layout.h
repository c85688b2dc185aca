#pragma once
// A window's layout and handlers as tables. A window's constructor lists, once, each control
// with where it goes (relative to its container), its caption and, for a text box, its length;
// then each event with the member function it runs. What a window computes (rows of fields
// laid out in a loop, control arrays) stays code beside its table.
//
//   layOut({
//       {Frame1, "Dati", {10, 10, 370, 210}},
//       {Label1, "Cognome :", {12, 28, 100, 20}},
//       {text1, {116, 26, 240, 24}, 30},     // a text box of at most 30 characters
//       {Combo1, {12, 24, 316, 24}},
//       {Image1, "setup/beep", {310, 22, 26, 26}},       // an image's text is its picture
//       {Command1, "Ok", {60, 160, 110, 36}, defaultButton},  // Enter presses it
//       {Command2, picture("nav/next"), {250, 308, 40, 32}},   // a button drawn with a picture
//   });
//   wire(*this, {
//       {Command1.Click, &FrmExample::Command1_Click},
//       {Combo1.Click, &FrmExample::Combo1_Click},
//   });
//
// Each kind of row takes only what its control has: a caption only on a control that carries
// one, a length only on a text box, so a misplaced one fails to compile.

#include <functional>
#include <initializer_list>
#include <type_traits>

#include "platform/forms.h"

namespace vc {

// Marks a command button's row: the window's Enter key presses it.
struct DefaultButton {};
inline constexpr DefaultButton defaultButton{};

// A command button's picture (its resource name), in place of the caption of its row.
struct ButtonPicture {
    const char* resource;
};
constexpr ButtonPicture picture(const char* resource) { return {resource}; }

class Placement {
public:
    Placement(Control& c, Geometry g) : control_(c), geometry_(g) {}
    Placement(Captioned& c, const char* caption, Geometry g)
        : control_(c), geometry_(g), captioned_(&c), caption_(caption) {}
    Placement(TextBox& t, Geometry g, int maxLength) : control_(t), geometry_(g), text_(&t), maxLength_(maxLength) {}
    Placement(Image& i, const char* picture, Geometry g) : control_(i), geometry_(g), image_(&i), picture_(picture) {}
    Placement(CommandButton& b, const char* caption, Geometry g, DefaultButton)
        : Placement(b, caption, g) {
        default_ = &b;
    }
    Placement(CommandButton& b, ButtonPicture p, Geometry g)
        : control_(b), geometry_(g), pictured_(&b), buttonPicture_(p.resource) {}

    void apply() const {
        control_.geometry = geometry_;
        if (captioned_) captioned_->setCaption(caption_);
        if (text_) text_->MaxLength = maxLength_;
        if (image_) image_->Picture = picture_;
        if (default_) default_->isDefault = true;
        if (pictured_) pictured_->setPicture(buttonPicture_);
    }

private:
    Control& control_;
    Geometry geometry_;
    Captioned* captioned_ = nullptr;
    const char* caption_ = "";
    TextBox* text_ = nullptr;
    int maxLength_ = 0;
    Image* image_ = nullptr;
    const char* picture_ = "";
    CommandButton* default_ = nullptr;
    CommandButton* pictured_ = nullptr;
    const char* buttonPicture_ = "";
};

// Places every control of the table, in its order.
inline void layOut(std::initializer_list<Placement> table) {
    for (const Placement& p : table) p.apply();
}

// One event of a window and the member function that handles it.
template <class F>
struct Handler {
    std::function<void()>& event;
    void (F::*run)();
};

// Sets every event of the table to call its member function on 'form'.
template <class F>
void wire(F& form, std::initializer_list<Handler<std::type_identity_t<F>>> table) {
    for (const auto& h : table) h.event = [&form, run = h.run] { (form.*run)(); };
}

}  // namespace vc
