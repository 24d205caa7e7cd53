# Turns the "figure<TAB>name<TAB>value" lines of bench/run-all.sh into its
# table. A row's ratio is value / reference: the reference is the plain
# buffered write (or the same files synced) for the CSV export, the PyVISA
# loop run beside the station for its CPU and tick rows (and the kernel's bare
# sleep beside it for the tick, the host's floor), and the target
# itself elsewhere, so a ratio above 1 is a target missed.
$1 == "figure" { v[$2] = $3; have[$2] = 1 }

function has(k) { return (k in have) }

# One row: a target of "" means none; ref "" means the target is the reference.
function row(label, key, unit, scale, target, refkey, refscale, note,    val, ref, ratio, verdict) {
  if (!has(key)) {
    printf "| %-50s | %14s | %10s | %14s | %7s | %-7s | %s\n", label, "not run", target == "" ? "-" : "< " target " " unit, "-", "-", "-", note
    missed++
    return
  }
  val = v[key] * scale
  ratio = "-"
  verdict = "-"
  if (refkey != "" && has(refkey)) {
    ref = v[refkey] * refscale
    ratio = sprintf("%.2fx", val / ref)
    refs = sprintf("%.3g %s", ref, unit)
    if (target != "") {
      verdict = (val / ref <= target + 0) ? "met" : "MISSED"
    }
    targets = target == "" ? "-" : "<= " target "x"
  } else if (target != "") {
    ratio = sprintf("%.3g", val / target)
    refs = "target"
    verdict = (val <= target + 0) ? "met" : "MISSED"
    targets = "< " target " " unit
  } else {
    refs = "-"
    targets = "-"
  }
  if (verdict == "MISSED") missed++
  printf "| %-50s | %10.2f %-3s | %10s | %14s | %7s | %-7s | %s\n", label, val, unit, targets, refs, ratio, verdict, note
}

END {
  printf "| %-50s | %14s | %10s | %14s | %7s | %-7s | %s\n", "figure", "value", "target", "reference", "ratio", "verdict", "note"
  printf "|%s|%s|%s|%s|%s|%s|%s\n", "----------------------------------------------------", "----------------", "------------", "----------------", "---------", "---------", "---"
  a = "BM_AppendRows/1000000"
  row("result log: append, per row (1M rows)", a ".real_time", "us", 1000 / 1e6, "", "", 1,
      has(a ".MB_per_1M_rows") ? sprintf("log %.0f MB per 1M rows", v[a ".MB_per_1M_rows"]) : "")
  row("CSV export of 1,000,000 rows", "BM_ExportMillionRows/real_time.real_time", "ms", 1, "1.1",
      "BM_PlainBufferedWriteSameBytes/real_time.real_time", 1, "reference: same bytes, one buffered loop")
  row("BDF export of 1,000,000 rows", "BM_ExportBdfMillionRows/real_time.real_time", "ms", 1, "1.3",
      "BM_ExportMillionRows/real_time.real_time", 1, "reference: the CSV export in the same run")
  if (has("BM_OneSyncEachSameFiles/real_time.real_time"))
    row("CSV export against the same files, one sync each", "BM_ExportMillionRows/real_time.real_time", "ms", 1, "1.1",
        "BM_OneSyncEachSameFiles/real_time.real_time", 1, "reference: each file synced once, the folder once")
  if (has("BM_SyncedWriteSameFiles/real_time.real_time"))
    row("CSV export against the same files synced", "BM_ExportMillionRows/real_time.real_time", "ms", 1, "1.1",
        "BM_SyncedWriteSameFiles/real_time.real_time", 1, "reference: each file written, synced, renamed")
  l = "BM_LoadStepFile"
  row("step file load, 32,767 steps", l ".real_time", "ms", 1, "50", "", 1,
      has(l ".cpu_time") ? sprintf("cpu %.1f ms", v[l ".cpu_time"]) : "")
  c = "BM_CheckStepList"
  row("step-list check and plan, 32,767 steps", c ".real_time", "ms", 1, "50", "", 1,
      "after every change of the list")
  s = "BM_SaveStepFile"
  row("step file save, 32,767 steps", s ".real_time", "ms", 1, "", "", 1,
      has(s ".cpu_time") ? sprintf("cpu %.1f ms", v[s ".cpu_time"]) : "")
  for (t = 1; t <= 2; t++) {
    p = t == 1 ? "tcp" : "pty"
    n = t == 1 ? "TCP" : "pseudo-terminal"
    row("station CPU, " n, p "_cpu_pct", "%", 1, "0.1", "", 1, "share of one core over the run")
    if (has(p "_pyvisa_cpu_pct"))
      row("station CPU beside the PyVISA loop, " n, p "_cpu_pct", "%", 1, "", p "_pyvisa_cpu_pct", 1,
          "reference: the PyVISA loop beside it, over TCP")
    row("tick period p99 error, " n, p "_tick_p99_ms", "ms", 1, "0.3", "", 1, "distance from 1000 ms")
    if (has(p "_pyvisa_tick_p99_ms"))
      row("tick p99 beside the PyVISA loop, " n, p "_tick_p99_ms", "ms", 1, "1", p "_pyvisa_tick_p99_ms", 1,
          "reference: the PyVISA loop beside it, over TCP")
    if (has(p "_sleep_tick_p99_ms"))
      row("tick p99 beside the kernel's bare sleep, " n, p "_tick_p99_ms", "ms", 1, "", p "_sleep_tick_p99_ms", 1,
          "reference: clock_nanosleep alone beside it, the host's floor")
    row("tick drift, " n, p "_drift_ms_per_min", "ms", 1, "1", "", 1, "per minute")
    row("Stop to LOAD OFF, " n, p "_stop_ms", "ms", 1, "50", "", 1, "worst; at the load")
    row("Stop to LOAD OFF in a late reply, " n, p "_stop_slow_ms", "ms", 1, "50", "", 1,
        "worst; reply 800 ms late")
  }
  for (t = 1; t <= 2; t++) {
    p = t == 1 ? "dead_broker_tcp" : "silent_broker_tcp"
    n = t == 1 ? "broker refusing" : "broker never answering"
    row("tick period p99 error, TCP, " n, p "_tick_p99_ms", "ms", 1, "0.3", "", 1, "publishing every run")
    row("Stop to LOAD OFF, TCP, " n, p "_stop_ms", "ms", 1, "50", "", 1, "worst; at the load")
  }
  row("publish to a local broker, rows a second", "publish_rows_per_s", "/s", 1, "", "", 1,
      "QoS 1, acknowledged; 1,000,000 rows")
  row("publish: a row handed to the queue", "publish_handover_us", "us", 1, "", "", 1,
      "the station thread's share, mean")
  row("GUI start-up to a painted window", "gui_startup_ms", "ms", 1, "500", "", 1, "worst start")
  row("GUI open of 32,767 steps + paint", "gui_open_32767_ms", "ms", 1, "1000", "", 1, "")
  row("GUI 1M-row log scroll, worst frame", "gui_log_frame_max_ms", "ms", 1, "50", "", 1, "end to end")
  row("GUI chart over a week, worst frame", "gui_chart_frame_max_ms", "ms", 1, "16", "", 1,
      "whole week, zoom in and out")
  row("chart redraw, whole week (mean)", "BM_RedrawWholeWeek.real_time", "ms", 1, "50", "", 1, "")
  row("process memory with 1M rows (GUI)", "gui_rss_1m_rows_mb", "MB", 1, "300", "", 1, "resident")
  row("run report of a week (604,800 rows a series)", "week_report.ms", "ms", 1, "3000", "", 1,
      has("week_report.pages") ? sprintf("%d pages, %d KB", v["week_report.pages"], v["week_report.kb"]) : "")
  row("process memory, week report", "week_report.peak_rss_mb", "MB", 1, "300", "", 1,
      "peak resident, the run's rows included")
  printf "\n%d target(s) missed or not run\n", missed
}
