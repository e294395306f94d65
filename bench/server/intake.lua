-- wrk script: posts one order per request, as a store's order form does.
dofile(os.getenv("TOLMI_BENCH_DIR") .. "/report.lua")

local counter = 0
request = function()
  counter = counter + 1
  local body = "tolmi_user=bench&Name=Customer+" .. counter ..
    "&Address=1+High+Street%0D%0ASpringfield&Email=c" .. counter .. "%40example.com" ..
    "&Amount=13.50&Freight=4.50&Tax=0.00" ..
    "&tolmi_item=2%09Blue+Mug%09MUG-01%094.50%090.3" ..
    "&tolmi_item=1%09Tea+Pot%09POT-02%090.00%091.2%09%09%09%09%09%09%09%09Red%09Large"
  return wrk.format("POST", "/", {["Content-Type"] = "application/x-www-form-urlencoded"}, body)
end
