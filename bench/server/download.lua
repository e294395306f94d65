-- wrk script: the merchant's download request (the path comes from the command line).
dofile(os.getenv("TOLMI_BENCH_DIR") .. "/report.lua")
