#pragma once
// The control ports of one plug-in of the built bundle as a host reads
// them from its descriptions, through lilv. Test helper.

#include <lilv/lilv.h>

#include <stdexcept>
#include <string>
#include <vector>

struct DescribedPort {
  std::string symbol;
  std::string name;
  float minimum = 0.0f;
  float maximum = 0.0f;
  float defaultValue = 0.0f;
  bool integer = false;
  bool enumeration = false;
  std::vector<std::pair<float, std::string>> scalePoints;
};

inline std::vector<DescribedPort> describedPorts(const std::string& bundleDir, const std::string& uri) {
  LilvWorld* world = lilv_world_new();
  LilvNode* bundle = lilv_new_file_uri(world, nullptr, (bundleDir + "/").c_str());
  lilv_world_load_bundle(world, bundle);
  LilvNode* pluginUri = lilv_new_uri(world, uri.c_str());
  const LilvPlugin* plugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world), pluginUri);
  if (plugin == nullptr) throw std::runtime_error(uri + " is not in " + bundleDir);
  LilvNode* control = lilv_new_uri(world, LILV_URI_CONTROL_PORT);
  LilvNode* integer = lilv_new_uri(world, "http://lv2plug.in/ns/lv2core#integer");
  LilvNode* enumeration = lilv_new_uri(world, "http://lv2plug.in/ns/lv2core#enumeration");
  std::vector<DescribedPort> ports;
  for (uint32_t i = 0; i < lilv_plugin_get_num_ports(plugin); ++i) {
    const LilvPort* port = lilv_plugin_get_port_by_index(plugin, i);
    if (!lilv_port_is_a(plugin, port, control)) continue;
    DescribedPort described;
    described.symbol = lilv_node_as_string(lilv_port_get_symbol(plugin, port));
    LilvNode* name = lilv_port_get_name(plugin, port);
    described.name = lilv_node_as_string(name);
    lilv_node_free(name);
    LilvNode *def = nullptr, *min = nullptr, *max = nullptr;
    lilv_port_get_range(plugin, port, &def, &min, &max);
    described.defaultValue = lilv_node_as_float(def);
    described.minimum = lilv_node_as_float(min);
    described.maximum = lilv_node_as_float(max);
    lilv_node_free(def);
    lilv_node_free(min);
    lilv_node_free(max);
    described.integer = lilv_port_has_property(plugin, port, integer);
    described.enumeration = lilv_port_has_property(plugin, port, enumeration);
    LilvScalePoints* points = lilv_port_get_scale_points(plugin, port);
    LILV_FOREACH(scale_points, it, points) {
      const LilvScalePoint* point = lilv_scale_points_get(points, it);
      described.scalePoints.emplace_back(lilv_node_as_float(lilv_scale_point_get_value(point)),
                                         lilv_node_as_string(lilv_scale_point_get_label(point)));
    }
    lilv_scale_points_free(points);
    ports.push_back(described);
  }
  lilv_node_free(enumeration);
  lilv_node_free(integer);
  lilv_node_free(control);
  lilv_node_free(pluginUri);
  lilv_node_free(bundle);
  lilv_world_free(world);
  return ports;
}
