// The remote control's model on the real controller.
#pragma once

#include "mic/core/MicController.h"
#include "mic/osc/OscModel.h"

namespace mic::osc {

class ControllerModel : public OscModel {
  public:
    explicit ControllerModel(MicController& controller) : mic_(controller) {}

    bool RackOnLine(int rack) const override;
    std::string RackVersion(int rack) const override;
    int Value(int rack, int channel, ChannelField field) const override;
    std::string Name(int rack, int channel) const override;
    SetResult Set(int rack, int channel, ChannelField field, int value,
                  const ChangeOrigin& origin) override;
    SetResult SetName(int rack, int channel, const std::string& latin1,
                      const ChangeOrigin& origin) override;
    void ReportRefusal(int rack, int channel, ChannelField field, int value,
                       std::string_view reason, const ChangeOrigin& origin) override;

  private:
    MicController& mic_;
};

}  // namespace mic::osc
