-- Shared wrk reporting: requests per second and latency percentiles, one line each.
function done(summary, latency, requests)
  local seconds = summary.duration / 1e6
  io.write(string.format("requests: %d in %.1f s, %.0f per second, errors %d (status %d)\n",
    summary.requests, seconds, summary.requests / seconds,
    summary.errors.connect + summary.errors.read + summary.errors.write + summary.errors.timeout,
    summary.errors.status))
  io.write(string.format("latency ms: p50 %.2f  p90 %.2f  p99 %.2f  max %.2f\n",
    latency:percentile(50) / 1000, latency:percentile(90) / 1000,
    latency:percentile(99) / 1000, latency.max / 1000))
end
