import flash.display.Graphics;
import flash.display.Sprite;
import flash.events.Event;
import flash.events.MouseEvent;

/** A colouring book: pick a paint pot, then click a part of the picture. */
class Coloring extends Sprite {
	static var paints = [0xE8383D, 0xFF8C42, 0xFFD23F, 0x7BD66B, 0x2D9CDB, 0x9B51E0, 0xFF9EB5, 0x8A5A3B, 0xFFFFFF];
	static inline var PARTS = 9;

	var parts:Array<Sprite> = [];
	var fills:Array<Int> = [];
	var colour = 0xE8383D;
	var pots:Array<Sprite> = [];
	var cloud = new Sprite();
	var frame = 0;

	public function new() {
		super();
		for (i in 0...PARTS) {
			var s = new Sprite();
			s.buttonMode = true;
			s.addEventListener(MouseEvent.CLICK, paint);
			addChild(s);
			parts.push(s);
			fills.push(0xFFFFFF);
			draw(i);
			if (i == 0)
				addChild(cloud);
		}
		Kit.cloud(cloud.graphics, 0, 40, 0.9);
		cloud.mouseEnabled = false;
		for (i in 0...paints.length) {
			var p = new Sprite();
			p.graphics.lineStyle(2, 0x555555);
			p.graphics.beginFill(paints[i]);
			p.graphics.drawRoundRect(-20, -16, 40, 32, 10, 10);
			p.graphics.endFill();
			p.x = 40 + i * 52;
			p.y = 372;
			p.buttonMode = true;
			p.addEventListener(MouseEvent.CLICK, pick);
			addChild(p);
			pots.push(p);
		}
		choose(0);
		addEventListener(Event.ENTER_FRAME, tick);
	}

	function pick(e:MouseEvent) {
		choose(pots.indexOf(cast e.currentTarget));
	}

	function choose(i:Int) {
		colour = paints[i];
		for (j in 0...pots.length)
			pots[j].y = (j == i) ? 362 : 372;
	}

	function paint(e:MouseEvent) {
		var i = parts.indexOf(cast e.currentTarget);
		fills[i] = colour;
		draw(i);
		Kit.sparkle(this, mouseX, mouseY, colour, 6);
	}

	function draw(i:Int) {
		var g:Graphics = parts[i].graphics;
		g.clear();
		g.lineStyle(3, 0x333333);
		g.beginFill(fills[i]);
		switch (i) {
			case 0: // sky
				g.drawRect(0, 0, Kit.W, 340);
			case 1: // sun
				g.drawCircle(470, 70, 38);
			case 2: // grass
				g.moveTo(0, 260);
				g.curveTo(275, 220, Kit.W, 260);
				g.lineTo(Kit.W, 340);
				g.lineTo(0, 340);
				g.lineTo(0, 260);
			case 3: // house
				g.drawRect(120, 170, 170, 130);
			case 4: // roof
				g.moveTo(100, 172);
				g.lineTo(205, 80);
				g.lineTo(310, 172);
				g.lineTo(100, 172);
			case 5: // door
				g.drawRoundRect(185, 225, 45, 75, 20, 20);
			case 6: // window
				g.drawRect(135, 195, 40, 40);
			case 7: // tree crown
				g.drawCircle(400, 180, 55);
			case 8: // tree trunk
				g.drawRect(388, 232, 24, 70);
		}
		g.endFill();
		if (i == 6) {
			g.moveTo(155, 195);
			g.lineTo(155, 235);
			g.moveTo(135, 215);
			g.lineTo(175, 215);
		}
	}

	function tick(_) {
		frame++;
		cloud.x = (frame * 0.7) % (Kit.W + 120) - 100;
		var s = 1 + Math.sin(frame / 10) * 0.04;
		// the sun breathes around its own centre
		parts[1].scaleX = parts[1].scaleY = s;
		parts[1].x = 470 * (1 - s);
		parts[1].y = 70 * (1 - s);
	}

	static function main() {
		Kit.start(new Coloring());
	}
}
