; Oscillator calibration program for the PIC12F629/675 and PIC16F630/676.
;
; The programmer writes this program with the OSCCAL value under test in the RETLW at the
; last program word, powers the chip from VDD alone and counts the clock on GP4/RA4. The
; program loads OSCCAL from that RETLW and idles; the configuration word selects the
; internal 4 MHz oscillator with CLKOUT, so the pin carries Fosc/4, 1 MHz when the value
; is right. MCLR is off so that the chip runs whatever level the programmer leaves on
; GP3/RA3; the watchdog is off so that nothing restarts the program while it is measured.
;
; Assembled by scripts/build-calibration-programs.sh with gpasm -p <device>; the device
; registers used here sit at the same addresses on all four parts.

        radix   dec

STATUS  equ     0x03
RP0     equ     5
OSCCAL  equ     0x90            ; bank 1

OSCCAL_WORD equ 0x3FF           ; RETLW k with the factory calibration value

        org     0
start:
        bsf     STATUS, RP0
        call    OSCCAL_WORD
        movwf   OSCCAL & 0x7F
        bcf     STATUS, RP0
idle:
        goto    idle

; Bits 2:0 101 internal oscillator with CLKOUT; bit 3 watchdog off; bit 4 power-up timer
; on (active low); bit 5 MCLR off; bit 6 brown-out off; bits 7, 8 no code or data
; protection; bits 13:12 (band-gap calibration) are left erased, the programmer keeps the
; chip's own value.
        __config 0x3185

        end
