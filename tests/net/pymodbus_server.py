#!/usr/bin/python3
"""An independent Modbus slave for the network-line tests: pymodbus's TCP server,
with Modbus TCP framing ("socket") or Modbus RTU frames on the stream ("rtu").
Holding register N (numbered from 1) holds 1000 + N - 1 for the unit given.
Usage: pymodbus_server.py PORT socket|rtu UNIT"""
import logging
import sys

from pymodbus.datastore import ModbusSequentialDataBlock, ModbusServerContext, ModbusSlaveContext
from pymodbus.server import StartTcpServer
from pymodbus.transaction import ModbusRtuFramer, ModbusSocketFramer


def main():
    port, framing, unit = int(sys.argv[1]), sys.argv[2], int(sys.argv[3])
    logging.basicConfig(level=logging.ERROR)
    registers = ModbusSequentialDataBlock(0, [1000 + i for i in range(200)])
    # pymodbus addresses its blocks from 1 on top of the wire address unless zero_mode.
    store = ModbusSlaveContext(hr=registers, zero_mode=True)
    context = ModbusServerContext(slaves={unit: store}, single=False)
    framer = ModbusRtuFramer if framing == "rtu" else ModbusSocketFramer
    StartTcpServer(context=context, address=("127.0.0.1", port), framer=framer)


if __name__ == "__main__":
    main()
