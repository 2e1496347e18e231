/*
 * iso15765_pci.h - the protocol control information of ISO 15765-2 frames,
 * the byte after the identifier (and extended address) that both the
 * reassembly and the segmentation read and write.
 */
#pragma once

#include <cstdint>

namespace tenq {

// PCI types, the high nibble of the PCI byte.
constexpr uint8_t N_PCI_SF = 0x00;  // single frame (PCI byte 0: CAN FD escape form)
constexpr uint8_t N_PCI_FF = 0x10;  // first frame (12-bit length 0: 32-bit escape form)
constexpr uint8_t N_PCI_CF = 0x20;  // consecutive frame, low nibble the sequence number
constexpr uint8_t N_PCI_FC = 0x30;  // flow control
constexpr uint8_t N_PCI_TYPE_MASK = 0xF0;
constexpr uint8_t N_PCI_SN_MASK = 0x0F;  // sequence number of a consecutive frame

// The first consecutive frame after a first frame carries sequence number 1.
constexpr uint8_t kFirstConsecutivePci = N_PCI_CF | 1;

}  // namespace tenq
