-- wrk script: a different tile on every request, from a block of tiles, T=1 first then T=2.
-- Arguments: scale zone firstX firstY columns rows maxRequestsPerThread threads
local count = 0
local threads = 0

function setup(thread)
  thread:set("id", threads)
  threads = threads + 1
end

function init(args)
  scale, zone = args[1], args[2]
  x0, y0 = tonumber(args[3]), tonumber(args[4])
  columns, rows = tonumber(args[5]), tonumber(args[6])
  limit = tonumber(args[7])
  stride = tonumber(args[8])
end

function request()
  local k = count * stride + id
  count = count + 1
  local x = x0 + k % columns
  local y = y0 + math.floor(k / columns) % rows
  local t = 1 + math.floor(k / (columns * rows)) % 2
  return wrk.format("GET", "/tile.ashx?T=" .. t .. "&S=" .. scale .. "&X=" .. x .. "&Y=" .. y .. "&Z=" .. zone)
end

function response(status, headers, body)
  if count >= limit then
    wrk.thread:stop()
  end
end
