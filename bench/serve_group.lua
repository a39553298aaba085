-- wrk script: POST one record (the first line of RECORD_FILE) to /v1/group
-- on every request of a kept-alive connection.
local file = assert(io.open(os.getenv("RECORD_FILE"), "rb"))
local record = file:read("*l")
file:close()
wrk.method = "POST"
wrk.body = record
wrk.headers["Content-Type"] = "text/plain"
