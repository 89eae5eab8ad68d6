#!/usr/bin/python3
"""An independent Modbus TCP master for the gateway's tests: pymodbus's client reads
COUNT holding registers from FIRST (numbered from 1) of UNIT, TIMES times back to back,
and fails at the first reply that is not a whole answer.
Prints "read N" and the last values. Usage: modbus_master.py PORT UNIT FIRST COUNT TIMES"""
import logging
import sys

from pymodbus.client import ModbusTcpClient


def main():
    port, unit, first, count, times = (int(a) for a in sys.argv[1:6])
    logging.basicConfig(level=logging.ERROR)
    client = ModbusTcpClient("127.0.0.1", port=port, timeout=5)
    if not client.connect():
        print("no connection", file=sys.stderr)
        return 1
    values = []
    for n in range(times):
        reply = client.read_holding_registers(first - 1, count, slave=unit)
        if reply.isError() or len(reply.registers) != count:
            print(f"read {n + 1}: {reply}", file=sys.stderr)
            return 1
        values = reply.registers
    client.close()
    print(f"read {times}", " ".join(str(v) for v in values))
    return 0


if __name__ == "__main__":
    sys.exit(main())
