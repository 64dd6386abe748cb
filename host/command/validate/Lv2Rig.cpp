#include "Lv2Rig.h"

#include <lv2/core/lv2.h>

#include <algorithm>
#include <cmath>

#include "CallTrail.h"

namespace kqfx::command::validate {

float portValueAt(const host::ParameterInfo& port, float position) {
  // Ports without a stated end span one unit from the default.
  const float low = std::isfinite(port.minimum) ? port.minimum : port.defaultValue;
  const float high = std::isfinite(port.maximum) ? port.maximum : std::max(low, port.defaultValue) + 1.0f;
  const float value = low + position * (high - low);
  if (!(position >= 0.0f && position <= 1.0f)) return value;
  if (port.toggled) return position < 0.5f ? low : high;
  if (port.enumeration && !port.scalePoints.empty()) {
    const std::size_t count = port.scalePoints.size();
    return port.scalePoints[std::min(count - 1, static_cast<std::size_t>(position * static_cast<float>(count)))].value;
  }
  if (port.integer) return std::clamp(std::round(value), std::ceil(low), std::floor(high));
  return value;
}

std::unique_ptr<host::Lv2Plugin> Lv2Rig::instantiate(host::Lv2World& world, const std::string& uri,
                                                     float sampleRate, int32_t maxBlock) {
  recordCall(CallKind::instantiate, 0, 0, maxBlock, sampleRate);
  return std::make_unique<host::Lv2Plugin>(world, uri, sampleRate, maxBlock);
}

Lv2Rig::Lv2Rig(host::Lv2World& world, const std::string& uri, float sampleRate, int32_t maxBlock)
    : Lv2Rig(world, uri, instantiate(world, uri, sampleRate, maxBlock), maxBlock) {}

Lv2Rig::Lv2Rig(host::Lv2World& world, const std::string& uri,
               std::unique_ptr<host::Lv2Plugin> plugin, int32_t maxBlock)
    : PluginRig(maxBlock, plugin->inputs(), plugin->outputs()),
      world_(world),
      uri_(uri),
      plugin_(std::move(plugin)) {
  const std::vector<std::string>& required = plugin_->description().requiredFeatures;
  inPlaceBroken_ = std::find(required.begin(), required.end(), LV2_CORE__inPlaceBroken) != required.end();
  for (int32_t p = 0; p < plugin_->parameterCount(); ++p) values_.push_back(plugin_->parameterValue(p));
  movedControls_.resize(values_.size());
}

Lv2Rig::~Lv2Rig() {
  if (plugin_->isActive()) suspend();
  recordCall(CallKind::cleanup);
}

void Lv2Rig::setParameter(int32_t index, float position) {
  const host::ParameterInfo& port = plugin_->parameterInfo(index);
  if (port.strictBounds) {
    if (std::isnan(position)) return;
    position = std::clamp(position, 0.0f, 1.0f);
  }
  const float value = portValueAt(port, position);
  recordCall(CallKind::setControl, 0, port.port, 0, value);
  values_[static_cast<std::size_t>(index)] = value;
  plugin_->setParameterValue(index, value);
}

std::string Lv2Rig::parameterName(int32_t index) {
  const host::ParameterInfo& port = plugin_->parameterInfo(index);
  return port.name + ", port " + std::to_string(port.port) + " '" + port.symbol + "'";
}

void Lv2Rig::resume() {
  recordCall(CallKind::activate);
  plugin_->activate();
}

void Lv2Rig::suspend() {
  recordCall(CallKind::deactivate);
  plugin_->deactivate();
}

void Lv2Rig::restart(float sampleRate, int32_t maxBlock) {
  if (plugin_->isActive()) suspend();
  recordCall(CallKind::cleanup);
  plugin_.reset();
  controlsMoved_ = false;
  plugin_ = instantiate(world_, uri_, sampleRate, maxBlock);
  resizeBuffers(maxBlock);
  for (std::size_t p = 0; p < values_.size(); ++p) {
    recordCall(CallKind::setControl, 0, plugin_->parameterInfo(static_cast<int32_t>(p)).port, 0, values_[p]);
    plugin_->setParameterValue(static_cast<int32_t>(p), values_[p]);
  }
  resume();
}

void Lv2Rig::connectControls(bool elsewhere) {
  const std::vector<uint32_t>& ports = plugin_->controlInputPorts();
  for (std::size_t p = 0; p < ports.size(); ++p) {
    float* own = plugin_->controlValue(ports[p]);
    float* data = own;
    if (elsewhere) {
      movedControls_[p] = *own;
      data = &movedControls_[p];
    }
    recordCall(CallKind::connectPort, 0, static_cast<int32_t>(ports[p]));
    plugin_->connectPort(ports[p], data);
  }
  controlsMoved_ = elsewhere;
}

void Lv2Rig::run(float** inputs, float** outputs, int32_t frames, bool otherBuffers) {
  // With other buffers the control inputs move too, holding the same values.
  if (otherBuffers || controlsMoved_) connectControls(otherBuffers);
  recordCall(CallKind::run, 0, 0, frames);
  plugin_->process(inputs, outputs, frames);
}

}  // namespace kqfx::command::validate
