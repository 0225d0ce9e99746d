#pragma once
// Receiver of an OxSliderView's two events. Both are optional: the default
// implementations do nothing, so a delegate overrides only what it needs.
//
// Held weakly by the slider: when the object implementing this interface is
// also a QObject (as the panels are), its destruction clears the slider's
// delegate; a delegate that is not a QObject must outlive the slider or be
// unset first.

namespace lightdeck {

class OxSliderView;

class OxSliderViewDelegate {
public:
    virtual ~OxSliderViewDelegate() = default;

    // After every drag callback (whether or not the thumb moved), and after
    // setDegrees() or setSliderInCenter(true). Read slider->value().
    virtual void sliderViewValueChanged(OxSliderView* slider) { (void)slider; }
    // Once when a drag ends normally, right after that callback's
    // sliderViewValueChanged(). Never for a cancelled drag.
    virtual void sliderViewStopSlip(OxSliderView* slider) { (void)slider; }
};

}  // namespace lightdeck
