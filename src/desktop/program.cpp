#include "desktop/program.h"

#include "desktop/form0.h"
#include "desktop/form1.h"
#include "desktop/form99.h"

Program::Program() = default;

// Windows go in the reverse order of their loading: the panel's handlers may reach
// the browser window, never the other way round.
Program::~Program() {
    form1_.reset();
    form0_.reset();
    if (form99_) form99_->Form_Unload();
    form99_.reset();
}

Form0& Program::form0() {
    if (!form0_) {
        form0_ = std::make_unique<Form0>(*this);
        form0_->Form_Load();
    }
    return *form0_;
}

Form1& Program::form1() {
    if (!form1_) {
        form1_ = std::make_unique<Form1>(*this);
        form1_->Form_Load();
    }
    return *form1_;
}

Form99& Program::form99() {
    if (!form99_) {
        form99_ = std::make_unique<Form99>(*this);
        form99_->Form_Load();
    }
    return *form99_;
}
