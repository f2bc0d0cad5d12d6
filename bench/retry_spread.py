#!/usr/bin/env python3
"""Drops downloads at the same moment and prints when each came back.

Runs the demo server on loopback behind a relay that notes each installer
request, starts CLIENTS copies of the real window (tovik_bench_driver,
offscreen, each with its own HOME), cuts all their connections at once when
every one is under way, and prints each resume's wait after that moment.

  bench/retry_spread.py BUILD_DIR [CLIENTS]    (BUILD_DIR: a build with tests)
"""
import asyncio, os, subprocess, sys, tempfile, time

build, clients = sys.argv[1], int(sys.argv[2]) if len(sys.argv) > 2 else 10
asked = []  # (when, a resume) for each installer request
streams = []  # the clients' side of each installer connection


async def relay(reader, writer, port):
    upstream_reader, upstream = await asyncio.open_connection("127.0.0.1", port)
    head = await reader.readuntil(b"\r\n\r\n")
    if b"/demo/files/" in head.split(b" ")[1]:
        asked.append((time.monotonic(), b"\r\nrange:" in head.lower()))
        streams.append(writer)
    upstream.write(head)

    async def pipe(source, sink):
        try:
            while data := await source.read(65536):
                sink.write(data)
                await sink.drain()
        except (ConnectionError, OSError, asyncio.CancelledError):
            pass
        finally:
            sink.close()

    await asyncio.gather(pipe(reader, upstream), pipe(upstream_reader, writer))


async def main():
    server = subprocess.Popen([f"{build}/localserver/tovik_demo_server", "--rate", "1000000"],
                              stdout=subprocess.PIPE, text=True)
    port = int(server.stdout.readline().split()[1])
    front = await asyncio.start_server(lambda r, w: relay(r, w, port), "127.0.0.1", 0)
    proxy = f"http://127.0.0.1:{front.sockets[0].getsockname()[1]}"
    homes = tempfile.TemporaryDirectory()
    drivers = []
    for i in range(clients):
        env = dict(os.environ, HOME=f"{homes.name}/{i}", http_proxy=proxy, no_proxy="", QT_QPA_PLATFORM="offscreen")
        os.makedirs(env["HOME"])
        command = [f"{build}/bench/tovik_bench_driver", "--version", "1.0", "--size", str(8 << 20), "--timeout", "60"]
        drivers.append(subprocess.Popen(command, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
    print(f"retry_spread: {clients} clients through {proxy}", flush=True)
    while len(asked) < clients:
        await asyncio.sleep(0.05)
    await asyncio.sleep(1.5)
    dropped = time.monotonic()
    for stream in streams:
        stream.transport.abort()
    print("retry_spread: every connection cut at once; waiting for the downloads to end", flush=True)
    while any(d.poll() is None for d in drivers) and time.monotonic() - dropped < 90:
        await asyncio.sleep(0.1)  # the relay serves the resumed downloads meanwhile
    for process in drivers + [server]:
        if process.poll() is None:
            process.kill()
    waits = sorted(round((when - dropped) * 1000) for when, resume in asked[clients:] if resume)
    print(f"retry_spread: waits (ms) {waits}")
    print(f"retry_spread: spread {waits[-1] - waits[0]} ms; files whole: {[d.returncode == 0 for d in drivers]}")


asyncio.run(main())
