#pragma once
// ShadowLookup: shading's view of a render's shadow maps, in list order:
// each map belongs to one light and answers the lit fraction of a hit. The
// render implements it over its maps; shading only borrows it.

struct HitRecord;

class ShadowLookup {
public:
  virtual ~ShadowLookup() = default;
  virtual int MapCount() const = 0;
  // The light index of map `map`, 0 <= map < MapCount().
  virtual int LightIndexOfMap(int map) const = 0;
  // The fraction 0..1 of the map's light that reaches the hit, from
  // sample_count map samples.
  virtual double LitFraction(int map, const HitRecord& hit, int sample_count) const = 0;
};
