#!/usr/bin/env python3
# Draws the language-bar icons of quillsvc.dll (16 to 48 pixels, the small-icon sizes from 100 % to
# 300 %, 32-bit with alpha) into quillsvc/langbar/icons: open (also the input method's own icon),
# closed, failed (the text service could not start) and the tab list.
# Usage: scripts/make-icons.py
import struct, math

def render(size, draw):
    px = [[(0,0,0,0)]*size for _ in range(size)]
    s = size/16.0
    # supersample 4x4
    for y in range(size):
        for x in range(size):
            acc=[0,0,0,0]
            for sy in range(4):
                for sx in range(4):
                    u=(x+(sx+0.5)/4)/s; v=(y+(sy+0.5)/4)/s
                    c=draw(u,v)
                    if c:
                        a=c[3]/255.0
                        for i in range(3): acc[i]+=c[i]*a
                        acc[3]+=a
            if acc[3]>0:
                px[y][x]=(round(acc[0]/acc[3]),round(acc[1]/acc[3]),round(acc[2]/acc[3]),round(acc[3]/16*255))
    return px

def rounded(u,v,r=3.0,l=0.5,t=0.5,rr=15.5,b=15.5):
    cx=min(max(u,l+r),rr-r); cy=min(max(v,t+r),b-r)
    return (u-cx)**2+(v-cy)**2<=r*r and l<=u<=rr and t<=v<=b

def ring(u,v,cx,cy,ro,ri):
    d=math.hypot(u-cx,v-cy); return ri<=d<=ro

def seg(u,v,x0,y0,x1,y1,w):
    dx,dy=x1-x0,y1-y0; t=max(0,min(1,((u-x0)*dx+(v-y0)*dy)/(dx*dx+dy*dy)))
    return math.hypot(u-(x0+t*dx),v-(y0+t*dy))<=w/2

def quill_q(u,v):
    return ring(u,v,7.6,7.4,5.0,3.0) or seg(u,v,8.8,8.8,12.6,12.8,2.1)

WHITE=(255,255,255,255)
def icon(bg, fg_shape):
    def d(u,v):
        if not rounded(u,v): return None
        if fg_shape(u,v): return WHITE
        return bg
    return d

open_icon = icon((37,99,200,255), quill_q)
closed_icon = icon((128,128,128,255), quill_q)
def bang(u,v): return seg(u,v,8,3.5,8,9.5,2.4) or math.hypot(u-8,v-12.4)<=1.3
failed_icon = icon((200,45,45,255), bang)
def lines(u,v):
    return any(seg(u,v,6.5,y,12.5,y,1.6) for y in (4.8,8,11.2)) or any(math.hypot(u-3.8,v-y)<=1.05 for y in (4.8,8,11.2))
list_icon = icon((37,99,200,255), lines)

def bmp_entry(px):
    size=len(px)
    hdr=struct.pack('<IiiHHIIiiII',40,size,size*2,1,32,0,0,0,0,0,0)
    data=b''.join(bytes((p[2],p[1],p[0],p[3])) for row in reversed(px) for p in row)
    maskrow=((size+31)//32)*4
    mask=b''
    for row in reversed(px):
        bits=bytearray(maskrow)
        for x,p in enumerate(row):
            if p[3]==0: bits[x//8]|=0x80>>(x%8)
        mask+=bytes(bits)
    return hdr+data+mask

SIZES=(16,20,24,32,40,48)

def write_ico(path, draw):
    images=[bmp_entry(render(s,draw)) for s in SIZES]
    out=struct.pack('<HHH',0,1,len(images))
    off=6+16*len(images)
    for s,img in zip(SIZES,images):
        out+=struct.pack('<BBBBHHII',s,s,0,0,1,32,len(img),off); off+=len(img)
    for img in images: out+=img
    open(path,'wb').write(out)

import os
os.chdir(os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'quillsvc', 'langbar', 'icons'))
write_ico('open.ico', open_icon)
write_ico('closed.ico', closed_icon)
write_ico('failed.ico', failed_icon)
write_ico('tab_list.ico', list_icon)
