#pragma once

// A link fault the simulator plays on purpose, for tests and demonstrations.
struct SimFault
{
    enum Kind {
        None,
        NoReply,      // the request is lost: not executed, not answered
        BadCrc,       // executed; the reply's CRC is spoiled
        WrongAddress, // executed; the reply carries another slave address
        Exception,    // not executed; answered with exceptionCode
        SplitReply,   // executed; the reply pauses pauseMs in its middle
        Silent        // the device hears nothing for pauseMs from the moment it is set
    } kind = None;
    int exceptionCode = 4;
    int pauseMs = 0; // SplitReply pause / Silent duration
};
