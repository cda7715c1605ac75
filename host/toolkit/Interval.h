#pragma once
// A closed interval of the reals from m_t[0] to m_t[1] (either order); maps
// normalised parameters 0..1 onto it. A plain value.

class TK_Interval {
public:
  TK_Interval() = default;
  TK_Interval(double t0, double t1) : m_t{t0, t1} {}

  // (1 - t) * m_t[0] + t * m_t[1]; t outside 0..1 extrapolates.
  double ParameterAt(double t) const { return (1.0 - t) * m_t[0] + t * m_t[1]; }

  bool operator==(const TK_Interval&) const = default;

  double m_t[2] = {0.0, 0.0};
};
